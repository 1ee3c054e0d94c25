#pragma once
// Puts the kit on the desktop's session bus as one media player, so that media keys and sound
// applets reach it, and media named by URI open in their players: the bus name
// org.mpris.MediaPlayer2.zyrkit (or, when another kit holds it, that name with ".instance<pid>"),
// and the object /org/mpris/MediaPlayer2 with the MediaPlayer2 and Player interfaces. Without a
// session bus the kit runs as it would without this service, and nothing is reported. UI thread
// only.

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace zyr {
class WindowRegistry;
}

namespace zyr::desktop {

class LastUsedControl;

class MprisService : public QObject {
    Q_OBJECT
public:
    static inline const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.zyrkit");
    static inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

    // Starts following which player the user uses; Raise shows windows through `registry`, and
    // OpenUri opens media through it.
    explicit MprisService(WindowRegistry &registry, QObject *parent = nullptr);
    ~MprisService() override;

    // Registers the player on `connection`. Returns false, leaving the connection as it was,
    // when the connection is not up or the object or a name cannot be registered.
    bool start(QDBusConnection connection = QDBusConnection::sessionBus());

    // The bus name the player holds; empty before a successful start().
    QString serviceName() const { return m_serviceName; }

    LastUsedControl &tracker() const { return *m_tracker; }

private:
    // Shows the window of the control used last, the way the main menu opens a player; before
    // any player was used, brings the main menu to the front if it shows.
    void raise();

    WindowRegistry &m_registry;
    LastUsedControl *m_tracker;
    QString m_serviceName;
    QDBusConnection m_connection{QString()};
};

} // namespace zyr::desktop
