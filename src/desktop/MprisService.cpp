#include "desktop/MprisService.h"

#include "app/BusObject.h"
#include "app/DesignedWindow.h"
#include "app/Navigation.h"
#include "app/OpenFromOutside.h"
#include "app/WindowRegistry.h"
#include "desktop/LastUsedControl.h"
#include "desktop/MprisPlayerAdaptor.h"
#include "desktop/MprisRootAdaptor.h"
#include "media/MediaControl.h"

#include <QCoreApplication>

#include <optional>

namespace zyr::desktop {

namespace {

std::optional<WindowClass> windowClassOf(const QWidget *window)
{
    const auto *designed = qobject_cast<const DesignedWindow *>(window);
    if (!designed)
        return std::nullopt;
    for (const WindowClass c : kAllWindowClasses)
        if (designName(c) == designed->designName())
            return c;
    return std::nullopt;
}

} // namespace

MprisService::MprisService(WindowRegistry &registry, QObject *parent)
    : QObject(parent), m_registry(registry), m_tracker(new LastUsedControl(this))
{
}

MprisService::~MprisService()
{
    if (m_serviceName.isEmpty())
        return;
    m_connection.unregisterObject(kObjectPath);
    m_connection.unregisterService(m_serviceName);
}

bool MprisService::start(QDBusConnection connection)
{
    if (!connection.isConnected() || !m_serviceName.isEmpty())
        return false;
    auto *exported = new BusObject(this);
    new MprisRootAdaptor(exported, [this] { raise(); });
    new MprisPlayerAdaptor(exported, *m_tracker, connection, kObjectPath,
                           [this](const QString &uri) { openFromOutsideSoon(m_registry, uri); });
    if (!connection.registerObject(kObjectPath, exported)) {
        delete exported;
        return false;
    }
    // A second kit on the same desktop takes a name of its own, as media players do.
    const QString instanceName =
        kServiceName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
    for (const QString &name : {kServiceName, instanceName}) {
        if (connection.registerService(name)) {
            m_serviceName = name;
            m_connection = connection;
            return true;
        }
    }
    connection.unregisterObject(kObjectPath);
    delete exported;
    return false;
}

void MprisService::raise()
{
    if (media::MediaControl *control = m_tracker->control()) {
        if (const std::optional<WindowClass> c = windowClassOf(control->window())) {
            navigateForward(m_registry, *c);
            return;
        }
    }
    if (m_registry.exists(WindowClass::MainMenu)) {
        DesignedWindow &mainMenu = m_registry.get(WindowClass::MainMenu);
        if (mainMenu.isVisible())
            WindowRegistry::show(mainMenu);
    }
}

} // namespace zyr::desktop
