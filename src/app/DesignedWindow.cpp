#include "app/DesignedWindow.h"

#include "app/DesignBuilder.h"
#include "app/HandlerGuard.h"

#include <QCloseEvent>

namespace zyr {

DesignedWindow::DesignedWindow(const WindowDesign &design, QWidget *parent) : QMainWindow(parent)
{
    DesignBuilder::build(*this, design);
}

QWidget *DesignedWindow::control(const QString &name) const
{
    QWidget *w = m_controls.value(name);
    if (!w)
        throw std::logic_error("window " + objectName().toStdString() + " has no control " +
                               name.toStdString());
    return w;
}

QAction *DesignedWindow::menuItem(const QString &name) const
{
    QAction *a = m_menuItems.value(name);
    if (!a)
        throw std::logic_error("window " + objectName().toStdString() + " has no menu entry " +
                               name.toStdString());
    return a;
}

QMenu *DesignedWindow::menu(const QString &name) const
{
    QMenu *m = m_menus.value(name);
    if (!m)
        throw std::logic_error("window " + objectName().toStdString() + " has no menu " +
                               name.toStdString());
    return m;
}

void DesignedWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    guardHandler([this] { closeRequested(); });
}

} // namespace zyr
