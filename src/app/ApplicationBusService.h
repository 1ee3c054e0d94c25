#pragma once
// One kit per desktop login. The kit that starts first holds the name org.zyr.MultimediaKit on
// the session bus, with the object /org/zyr/MultimediaKit (ApplicationAdaptor). A later start
// finds that name held and hands its medium to the kit that holds it (or, without a medium, asks
// it to come to the front), then ends. Without a session bus every start is a kit of its own.
//
// Two starts at once: the bus gives the name to one of them, and the other hands over to it;
// the winner answers once its event loop runs. A kit that is ending refuses a hand-over and
// gives up the name, and a kit that has gone leaves the call unanswered: either way the new
// start claims the name again and becomes the kit. A holder that does not answer within
// kAnswerTimeoutMs, or is no kit, is left alone and the new start runs without the name.
//
// Costs one connection to the bus and one or two round trips; loads no library of its own.
// UI thread only.

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

namespace zyr {

class BusObject;

class ApplicationBusService : public QObject {
    Q_OBJECT
public:
    static inline const QString kServiceName = QStringLiteral("org.zyr.MultimediaKit");
    static inline const QString kObjectPath = QStringLiteral("/org/zyr/MultimediaKit");
    static inline const QString kInterface = QStringLiteral("org.freedesktop.Application");

    // How long a start waits for the running kit to answer.
    static constexpr int kAnswerTimeoutMs = 10000;
    // How often a start tries to claim the name or hand over before it runs without the name.
    static constexpr int kClaimAttempts = 4;

    enum class Role {
        Alone,     // no bus, or the name cannot be had: this start is a kit without the name
        First,     // this kit holds the name and takes hand-overs
        HandedOver // the running kit took the medium: this start ends
    };

    // `open` and `activate` carry out what a later start hands over; both are called from the
    // bus's answer, on the UI thread, and must return at once.
    ApplicationBusService(std::function<void(const QString &uri)> open,
                          std::function<void()> activate, QObject *parent = nullptr);
    // Gives up the name.
    ~ApplicationBusService() override;

    // Claims the name on `bus`, or hands `mediumUri` (empty: no medium) to the kit that holds it.
    Role start(QDBusConnection bus, const QString &mediumUri);

    // Gives up the name and the object: from now on a new start makes a kit of its own.
    void release();

private:
    // Hands the medium to the name's holder; true when it answered that it took it.
    enum class HandOver { Taken, Refused, Unanswered };
    HandOver handOver(const QString &mediumUri);

    std::function<void(const QString &)> m_open;
    std::function<void()> m_activate;
    QDBusConnection m_bus{QString()};
    BusObject *m_exported = nullptr;
    bool m_holdsName = false;
};

} // namespace zyr
