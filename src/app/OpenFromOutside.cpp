#include "app/OpenFromOutside.h"

#include "app/DesignedWindow.h"
#include "app/HandlerGuard.h"
#include "app/KitWindow.h"
#include "app/MessageBox.h"
#include "app/Navigation.h"
#include "app/OutsideMedium.h"
#include "app/WindowRegistry.h"

#include <QApplication>
#include <QTimer>

#include <functional>

namespace zyr {

namespace {

// How often a request waiting for a modal dialog or message box to close looks again.
constexpr int kModalRecheckMs = 100;

// A request waiting for its turn: it runs through the handler guard once the event loop is back
// and no modal window is open, then goes. A child of the main menu, which lives as long as the
// registry: when the registry's windows are gone, so is the request.
class PendingRequest : public QObject {
public:
    PendingRequest(WindowRegistry &registry, std::function<void()> work)
        : QObject(&registry.get(WindowClass::MainMenu)), m_work(std::move(work))
    {
        QTimer::singleShot(0, this, &PendingRequest::attempt);
    }

private:
    void attempt()
    {
        if (QApplication::activeModalWidget()) {
            QTimer::singleShot(kModalRecheckMs, this, &PendingRequest::attempt);
            return;
        }
        const std::function<void()> work = std::move(m_work);
        deleteLater();
        guardHandler(work);
    }

    std::function<void()> m_work;
};

} // namespace

void openFromOutside(WindowRegistry &registry, const QString &fileOrUri)
{
    const OutsideMedium medium = identifyMedium(fileOrUri);
    if (!medium.player) {
        DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
        WindowRegistry::show(mainMenu);
        MessageBox::critical(&mainMenu, QStringLiteral("Can't open ") + medium.path,
                             QStringLiteral("Error"));
        return;
    }
    navigateForward(registry, *medium.player);
    if (auto *player = qobject_cast<KitWindow *>(&registry.get(*medium.player)))
        player->openAndPlay(medium.path);
}

void openFromOutsideSoon(WindowRegistry &registry, const QString &fileOrUri)
{
    new PendingRequest(registry, [&registry, fileOrUri] { openFromOutside(registry, fileOrUri); });
}

void raiseKitSoon(WindowRegistry &registry)
{
    new PendingRequest(registry, [&registry] {
        bool raised = false;
        for (const WindowClass c : kAllWindowClasses) {
            if (registry.exists(c) && registry.get(c).isVisible()) {
                WindowRegistry::show(registry.get(c));
                raised = true;
            }
        }
        if (!raised)
            WindowRegistry::show(registry.get(WindowClass::MainMenu));
    });
}

} // namespace zyr
