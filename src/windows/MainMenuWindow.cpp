#include "windows/MainMenuWindow.h"

#include "app/DesignLabel.h"
#include "app/DesignPicture.h"
#include "app/HandlerGuard.h"
#include "app/Navigation.h"
#include "app/OpenFromOutside.h"

#include <QAction>
#include <QPushButton>

namespace zyr {

MainMenuWindow::MainMenuWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::MainMenu, design())
{
    using W = MainMenuWindow;
    connectHandler(control<DesignPicture>("Image1"), &DesignPicture::clicked, this,
                   &W::Image1_Click);
    connectHandler(control<DesignLabel>("Label2"), &DesignLabel::clicked, this, &W::Label2_Click);
    connectHandler(menuItem("mnuAvi"), &QAction::triggered, this, &W::mnuAvi_Click);
    connectHandler(control<DesignPicture>("Image2"), &DesignPicture::clicked, this,
                   &W::Image2_Click);
    connectHandler(control<DesignLabel>("Label3"), &DesignLabel::clicked, this, &W::Label3_Click);
    connectHandler(menuItem("mnuCd"), &QAction::triggered, this, &W::mnuCd_Click);
    connectHandler(control<DesignPicture>("Image3"), &DesignPicture::clicked, this,
                   &W::Image3_Click);
    connectHandler(control<DesignLabel>("Label4"), &DesignLabel::clicked, this, &W::Label4_Click);
    connectHandler(menuItem("mnuWav"), &QAction::triggered, this, &W::mnuWav_Click);
    connectHandler(control<DesignPicture>("Image4"), &DesignPicture::clicked, this,
                   &W::Image4_Click);
    connectHandler(control<DesignLabel>("Label5"), &DesignLabel::clicked, this, &W::Label5_Click);
    connectHandler(menuItem("mnuMidi"), &QAction::triggered, this, &W::mnuMidi_Click);
    connectHandler(menuItem("mnuAbout"), &QAction::triggered, this, &W::mnuAbout_Click);
    connectHandler(control<QPushButton>("cmdExit"), &QPushButton::clicked, this, &W::cmdExit_Click);
    connectHandler(menuItem("mnuExit"), &QAction::triggered, this, &W::mnuExit_Click);
    acceptFileDrops();
}

void MainMenuWindow::fileDropped(const QString &path)
{
    openFromOutside(registry(), path);
}

void MainMenuWindow::Image1_Click()
{
    navigateForward(registry(), WindowClass::AviViewer);
}
void MainMenuWindow::Label2_Click()
{
    navigateForward(registry(), WindowClass::AviViewer);
}
void MainMenuWindow::mnuAvi_Click()
{
    navigateForward(registry(), WindowClass::AviViewer);
}
void MainMenuWindow::Image2_Click()
{
    navigateForward(registry(), WindowClass::CdPlayer);
}
void MainMenuWindow::Label3_Click()
{
    navigateForward(registry(), WindowClass::CdPlayer);
}
void MainMenuWindow::mnuCd_Click()
{
    navigateForward(registry(), WindowClass::CdPlayer);
}
void MainMenuWindow::Image3_Click()
{
    navigateForward(registry(), WindowClass::WavPlayer);
}
void MainMenuWindow::Label4_Click()
{
    navigateForward(registry(), WindowClass::WavPlayer);
}
void MainMenuWindow::mnuWav_Click()
{
    navigateForward(registry(), WindowClass::WavPlayer);
}
void MainMenuWindow::Image4_Click()
{
    navigateForward(registry(), WindowClass::MidiPlayer);
}
void MainMenuWindow::Label5_Click()
{
    navigateForward(registry(), WindowClass::MidiPlayer);
}
void MainMenuWindow::mnuMidi_Click()
{
    navigateForward(registry(), WindowClass::MidiPlayer);
}
void MainMenuWindow::mnuAbout_Click()
{
    navigateForward(registry(), WindowClass::About);
}
void MainMenuWindow::cmdExit_Click()
{
    endProgram();
}
void MainMenuWindow::mnuExit_Click()
{
    endProgram();
}

} // namespace zyr
