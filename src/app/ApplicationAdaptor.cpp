#include "app/ApplicationAdaptor.h"

#include "app/BusObject.h"
#include "app/HandlerGuard.h"

#include <QDBusConnection>

namespace zyr {

ApplicationAdaptor::ApplicationAdaptor(BusObject *exported, Handlers handlers)
    : QDBusAbstractAdaptor(exported), m_handlers(std::move(handlers))
{
}

bool ApplicationAdaptor::refuseWhenEnding()
{
    if (!m_handlers.ending())
        return false;
    m_handlers.refused();
    BusObject::context(*this).sendErrorReply(kEndingError, QStringLiteral("The kit is ending."));
    return true;
}

void ApplicationAdaptor::Activate(const QVariantMap &)
{
    if (!refuseWhenEnding())
        guardHandler(m_handlers.activate);
}

void ApplicationAdaptor::Open(const QStringList &uris, const QVariantMap &)
{
    if (refuseWhenEnding())
        return;
    if (uris.isEmpty())
        guardHandler(m_handlers.activate);
    else
        guardHandler([&] { m_handlers.open(uris.front()); });
}

void ApplicationAdaptor::ActivateAction(const QString &actionName, const QVariantList &,
                                        const QVariantMap &)
{
    BusObject::context(*this).sendErrorReply(
        QDBusError::NotSupported, QStringLiteral("The kit has no action \"%1\".").arg(actionName));
}

} // namespace zyr
