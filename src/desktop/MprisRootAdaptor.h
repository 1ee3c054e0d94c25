#pragma once
// The kit as a media player on the desktop's session bus (the org.mpris.MediaPlayer2
// interface): its name, its desktop entry, and Raise, which shows the player window used last.
// The kit cannot be quit from outside: it ends only through its main menu. UI thread only.

#include "app/OutsideMedium.h"

#include <QDBusAbstractAdaptor>
#include <QStringList>

#include <functional>

namespace zyr::desktop {

class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    // `raise` brings the kit's window to the front.
    MprisRootAdaptor(QObject *exported, std::function<void()> raise);

    bool canQuit() const { return false; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("ZYR Multimedia Kit"); }
    QString desktopEntry() const { return QStringLiteral("org.zyr.MultimediaKit"); }
    // What the Player interface's OpenUri opens.
    QStringList supportedUriSchemes() const { return openedUriSchemes(); }
    QStringList supportedMimeTypes() const { return openedMediaTypes(); }

public slots:
    void Raise();
    // CanQuit is false: does nothing.
    void Quit() {}

private:
    std::function<void()> m_raise;
};

} // namespace zyr::desktop
