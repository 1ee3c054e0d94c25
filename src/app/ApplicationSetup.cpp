#include "app/ApplicationSetup.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStyleFactory>

// The pictures live in a resource object inside a static library; naming its initializer
// makes sure the linker keeps it.
static void initPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace zyr {

namespace {

// The designs name faces of another platform. Each is mapped to the closest face that the
// install step provides: URW Bookman (Demi weight for semibold) for "Bookman Old Style", and for
// "MS Sans Serif" Nimbus Sans Narrow, whose widths at 8 points come closest to the classic
// dialog face (Liberation Sans runs about a fifth wider and would push captions into their
// neighbours); Liberation Sans and DejaVu Sans stand behind it.
void installFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("Bookman Old Style"),
                               {QStringLiteral("URW Bookman"), QStringLiteral("URW Bookman L")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Nimbus Sans Narrow"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

// The default user-interface font of every window: the 8-point dialog face.
constexpr double kDefaultFontPoints = 8.0;

} // namespace

void setUpApplication(QApplication &app)
{
    initPictures();
    installFontSubstitutes();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont uiFont(QStringLiteral("MS Sans Serif"));
    uiFont.setPointSizeF(kDefaultFontPoints);
    QApplication::setFont(uiFont);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/kit.ico")));
    // The application name is also the class of every window on X11 (WM_CLASS), which the
    // desktop entry's StartupWMClass names; the desktop file name ties the windows to that entry
    // on Wayland and in task bars. Both must stay as the installed entry has them.
    QApplication::setApplicationName(QStringLiteral("ZYR Multimedia Kit"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zyr.MultimediaKit"));
    app.setQuitOnLastWindowClosed(false);
}

} // namespace zyr
