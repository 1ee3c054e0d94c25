#include "app/ApplicationBusService.h"

#include "app/ApplicationAdaptor.h"
#include "app/BusObject.h"
#include "app/Program.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QThread>

namespace zyr {

namespace {

// A kit that is ending gives the name up only as it answers: a new claim waits this long first,
// and twice as long on each further attempt.
constexpr unsigned long kFirstRetryDelayMs = 20;

} // namespace

ApplicationBusService::ApplicationBusService(std::function<void(const QString &)> open,
                                             std::function<void()> activate, QObject *parent)
    : QObject(parent), m_open(std::move(open)), m_activate(std::move(activate))
{
}

ApplicationBusService::~ApplicationBusService()
{
    release();
}

ApplicationBusService::Role ApplicationBusService::start(QDBusConnection bus,
                                                         const QString &mediumUri)
{
    if (!bus.isConnected() || m_exported)
        return Role::Alone;
    m_bus = std::move(bus);
    // The object is there before the name, so that a call that finds the name finds the object.
    m_exported = new BusObject(this);
    new ApplicationAdaptor(m_exported,
                           {m_open, m_activate, &Program::ending, [this] { release(); }});
    if (!m_bus.registerObject(kObjectPath, m_exported)) {
        release();
        return Role::Alone;
    }
    QDBusConnectionInterface *names = m_bus.interface();
    unsigned long delayMs = kFirstRetryDelayMs;
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claimed =
            names->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                   QDBusConnectionInterface::DontAllowReplacement);
        if (!claimed.isValid())
            break;
        if (claimed.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_holdsName = true;
            return Role::First;
        }
        const QString holder = names->serviceOwner(kServiceName);
        const HandOver outcome = handOver(mediumUri);
        if (outcome == HandOver::Taken) {
            release();
            return Role::HandedOver;
        }
        // Unanswered by a holder that is still there: it is stuck, or it is no kit.
        if (outcome == HandOver::Unanswered && !holder.isEmpty() &&
            names->serviceOwner(kServiceName).value() == holder)
            break;
        QThread::msleep(delayMs);
        delayMs *= 2;
    }
    release();
    return Role::Alone;
}

ApplicationBusService::HandOver ApplicationBusService::handOver(const QString &mediumUri)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kServiceName, kObjectPath, kInterface,
        mediumUri.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    if (mediumUri.isEmpty())
        call << QVariantMap();
    else
        call << QStringList{mediumUri} << QVariantMap();
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, kAnswerTimeoutMs);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return HandOver::Taken;
    return answer.errorName() == ApplicationAdaptor::kEndingError ? HandOver::Refused
                                                                  : HandOver::Unanswered;
}

void ApplicationBusService::release()
{
    if (!m_exported)
        return;
    if (m_holdsName)
        m_bus.unregisterService(kServiceName);
    m_holdsName = false;
    m_bus.unregisterObject(kObjectPath);
    m_exported->deleteLater();
    m_exported = nullptr;
}

} // namespace zyr
