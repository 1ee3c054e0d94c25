// The kit as a media player on a private session bus (the test runs under dbus-run-session):
// a second connection of the test plays the part of the desktop's media keys and calls the
// MediaPlayer2 interfaces over the bus, while the real player windows play media made by the
// test. What the bus says (status, metadata, capabilities, announced changes) must match what
// the window and its control do, and the window's own handlers must run as for a click.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "desktop/LastUsedControl.h"
#include "desktop/MprisService.h"
#include "media/control/FakeDevice.h"
#include "media/FileOpenDialog.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"
#include "media/output/SilentAudioSink.h"
#include "media/output/TestAudioSink.h"
#include "support/MidiWriter.h"
#include "support/WavWriter.h"

#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <QUrl>

using namespace zyr;
using desktop::MprisService;
using media::MediaButton;
using media::MediaControl;

namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// What one PropertiesChanged signal announced.
struct Announcement {
    QString interface;
    QVariantMap changed;
};

} // namespace

class TestMprisPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void describesTheKitOnTheBus();
    void wavPlaysPausesAndStopsThroughTheBus();
    void wavSkipRewindsTheFileAndKeepsPlaying();
    void wavEndOfSoundIsAnnounced();
    void midiStatusTextFollowsTheBus();
    void disabledOrCancelledButtonsDoNothing();
    void actsOnThePlayerUsedLast();
    void raiseShowsThePlayerThroughNavigation();
    void discTracksAreNumbered();
    void playerctlDrivesThePlayer();
    void seeksMoveThePositionAndKeepTheMode();
    void openUriOpensInItsPlayer();

    // PropertiesChanged and Seeked, as the test's bus connection hears them.
    void onPropertiesChanged(const QString &interface, const QVariantMap &changed,
                             const QStringList &invalidated);
    void onSeeked(qlonglong position);

private:
    QDBusMessage call(const QString &interface, const QString &method,
                      const QVariantList &arguments = {});
    QVariant property(const QString &name, const QString &interface = kPlayer);
    QVariantMap metadata();
    // The latest value announced for `name`, if any was since the last clear.
    std::optional<QVariant> announced(const QString &name) const;
    // Runs playerctl against the kit on the test's bus; returns what it printed.
    QString playerctl(const QStringList &arguments);

    DesignedWindow &openPlayer(const char *menuItem, WindowClass windowClass);
    MediaControl &mm(DesignedWindow &window)
    {
        return *window.control<MediaControl>(QStringLiteral("MMControl1"));
    }
    void openThroughMenu(DesignedWindow &window, const QString &path, const char *dialogName);
    QString wav(const QString &name, double seconds);
    QString midi(const QString &name, int quarters);

    QTemporaryDir m_dir;
    QDBusConnection m_client{QString()};
    std::unique_ptr<WindowRegistry> m_registry;
    std::unique_ptr<MprisService> m_service;
    QList<Announcement> m_announcements;
    QList<qlonglong> m_seeks;
    QStringList m_messages;
};

void TestMprisPlayer::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter(
        [this](const QString &text, const QString &title) { m_messages << title + ": " + text; });
    if (!QDBusConnection::sessionBus().isConnected())
        QFAIL("no session bus: run this test under dbus-run-session");
    // A connection of its own, so that every call really travels over the bus.
    m_client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("media-keys"));
    QVERIFY(m_client.isConnected());
    QVERIFY(m_client.connect(MprisService::kServiceName, MprisService::kObjectPath, kProperties,
                             QStringLiteral("PropertiesChanged"), this,
                             SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))));
    QVERIFY(m_client.connect(MprisService::kServiceName, MprisService::kObjectPath, kPlayer,
                             QStringLiteral("Seeked"), this, SLOT(onSeeked(qlonglong))));
}

void TestMprisPlayer::init()
{
    Program::resetForTesting();
    m_messages.clear();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    m_service = std::make_unique<MprisService>(*m_registry);
    QVERIFY(m_service->start());
    QCOMPARE(m_service->serviceName(), MprisService::kServiceName);
    WindowRegistry::show(m_registry->get(WindowClass::MainMenu));
    m_announcements.clear();
    m_seeks.clear();
}

void TestMprisPlayer::cleanup()
{
    m_service.reset();
    m_registry.reset();
    QVERIFY(m_messages.isEmpty());
}

void TestMprisPlayer::onPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                          const QStringList &)
{
    QVariantMap plain = changed;
    // Nested dictionaries arrive still marshalled.
    for (auto it = plain.begin(); it != plain.end(); ++it)
        if (it->canConvert<QDBusArgument>())
            *it = qdbus_cast<QVariantMap>(it->value<QDBusArgument>());
    m_announcements << Announcement{interface, plain};
}

void TestMprisPlayer::onSeeked(qlonglong position)
{
    m_seeks << position;
}

QDBusMessage TestMprisPlayer::call(const QString &interface, const QString &method,
                                   const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        MprisService::kServiceName, MprisService::kObjectPath, interface, method);
    message.setArguments(arguments);
    // The kit answers on this same thread: wait with the event loop running.
    const QDBusMessage reply = m_client.call(message, QDBus::BlockWithGui, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qWarning("%s.%s failed: %s", qPrintable(interface), qPrintable(method),
                 qPrintable(reply.errorMessage()));
    return reply;
}

QVariant TestMprisPlayer::property(const QString &name, const QString &interface)
{
    const QDBusMessage reply = call(kProperties, QStringLiteral("Get"), {interface, name});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QVariantMap TestMprisPlayer::metadata()
{
    const QVariant v = property(QStringLiteral("Metadata"));
    return v.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(v.value<QDBusArgument>())
                                         : v.toMap();
}

std::optional<QVariant> TestMprisPlayer::announced(const QString &name) const
{
    for (auto it = m_announcements.crbegin(); it != m_announcements.crend(); ++it)
        if (it->interface == kPlayer && it->changed.contains(name))
            return it->changed.value(name);
    return std::nullopt;
}

QString TestMprisPlayer::playerctl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(ZYR_PLAYERCTL_PATH),
                  QStringList{QStringLiteral("--player=zyrkit")} + arguments);
    // playerctl talks to this very process: keep its event loop running meanwhile.
    QEventLoop loop;
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("(playerctl timed out)");
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

DesignedWindow &TestMprisPlayer::openPlayer(const char *menuItem, WindowClass windowClass)
{
    m_registry->get(WindowClass::MainMenu).menuItem(QString::fromLatin1(menuItem))->trigger();
    return m_registry->get(windowClass);
}

void TestMprisPlayer::openThroughMenu(DesignedWindow &window, const QString &path,
                                      const char *dialogName)
{
    window.control<media::FileOpenDialog>(QString::fromLatin1(dialogName))
        ->setPresenter([path](const media::FileOpenDialog::Request &) { return path; });
    window.menuItem(QStringLiteral("mnuOpen"))->trigger();
}

QString TestMprisPlayer::wav(const QString &name, double seconds)
{
    test::WavOptions o;
    o.sampleRate = 8000;
    o.channels = 1;
    o.frames = static_cast<std::int64_t>(seconds * o.sampleRate);
    const QString path = m_dir.filePath(name);
    if (!test::WavWriter::write(path, o))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString TestMprisPlayer::midi(const QString &name, int quarters)
{
    const QString path = m_dir.filePath(name);
    if (!test::MidiWriter::writeQuarterNotes(path, quarters))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestMprisPlayer::describesTheKitOnTheBus()
{
    QVERIFY(m_client.interface()->isServiceRegistered(MprisService::kServiceName));
    QCOMPARE(property(QStringLiteral("Identity"), kRoot).toString(),
             QStringLiteral("ZYR Multimedia Kit"));
    QCOMPARE(property(QStringLiteral("DesktopEntry"), kRoot).toString(),
             QStringLiteral("org.zyr.MultimediaKit"));
    QCOMPARE(property(QStringLiteral("CanRaise"), kRoot).toBool(), true);
    QCOMPARE(property(QStringLiteral("CanQuit"), kRoot).toBool(), false);
    QCOMPARE(property(QStringLiteral("HasTrackList"), kRoot).toBool(), false);
    QCOMPARE(property(QStringLiteral("SupportedUriSchemes"), kRoot).toStringList(),
             QStringList({QStringLiteral("file"), QStringLiteral("cdda")}));
    QVERIFY(property(QStringLiteral("SupportedMimeTypes"), kRoot)
                .toStringList()
                .contains(QStringLiteral("audio/midi")));

    // No player used yet: nothing to play, and the methods do nothing.
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QVERIFY(metadata().isEmpty());
    QCOMPARE(property(QStringLiteral("CanPlay")).toBool(), false);
    QCOMPARE(property(QStringLiteral("CanControl")).toBool(), true);
    QCOMPARE(property(QStringLiteral("CanSeek")).toBool(), false);
    QCOMPARE(call(kPlayer, QStringLiteral("PlayPause")).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));

    // A second kit on the same bus takes an instance name of its own.
    MprisService second(*m_registry);
    QVERIFY(second.start(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second-kit"))));
    QCOMPARE(second.serviceName(),
             MprisService::kServiceName +
                 QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid()));
    QDBusConnection::disconnectFromBus(QStringLiteral("second-kit"));
}

void TestMprisPlayer::wavPlaysPausesAndStopsThroughTheBus()
{
    DesignedWindow &window = openPlayer("mnuWav", WindowClass::WavPlayer);
    // Real time, so that the sound is still playing while the test looks.
    mm(window).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(window, wav(QStringLiteral("long tone.wav"), 30), "CMDialog1");
    QCOMPARE(mm(window).mode(), media::ControlMode::Stopped);

    const QVariantMap meta = metadata();
    QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("long tone.wav"));
    QCOMPARE(meta.value(QStringLiteral("mpris:length")).toLongLong(), 30'000'000LL);
    QVERIFY(meta.value(QStringLiteral("mpris:trackid"))
                .value<QDBusObjectPath>()
                .path()
                .startsWith(QStringLiteral("/org/zyr/MultimediaKit/")));
    QCOMPARE(property(QStringLiteral("CanPlay")).toBool(), true);
    QCOMPARE(property(QStringLiteral("CanPause")).toBool(), false); // as the Pause button
    QCOMPARE(property(QStringLiteral("CanGoNext")).toBool(), true);
    QCOMPARE(property(QStringLiteral("CanGoPrevious")).toBool(), true);
    // Opening was announced with the new track.
    QTRY_VERIFY(announced(QStringLiteral("Metadata")).has_value());
    QCOMPARE(announced(QStringLiteral("Metadata"))->toMap().value(QStringLiteral("xesam:title")),
             QVariant(QStringLiteral("long tone.wav")));

    QList<MediaButton> clicks;
    connect(&mm(window), &MediaControl::buttonClick, this,
            [&](MediaButton b, bool &) { clicks << b; });
    call(kPlayer, QStringLiteral("PlayPause"));
    QCOMPARE(clicks, QList<MediaButton>{MediaButton::Play}); // pressed as by a click
    QCOMPARE(mm(window).mode(), media::ControlMode::Playing);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    QTRY_COMPARE(announced(QStringLiteral("PlaybackStatus")).value_or(QVariant()).toString(),
                 QStringLiteral("Playing"));
    QCOMPARE(announced(QStringLiteral("CanPause")).value_or(QVariant()).toBool(), true);
    // Play while playing leaves it alone: no second press.
    call(kPlayer, QStringLiteral("Play"));
    QCOMPARE(clicks.size(), 1);

    // The position moves on, and the window's bar follows it.
    auto &bar = *window.control<QScrollBar>(QStringLiteral("hsbposition"));
    QTRY_VERIFY(property(QStringLiteral("Position")).toLongLong() >= 300'000);
    QTRY_VERIFY(bar.value() > 0);

    call(kPlayer, QStringLiteral("Pause"));
    QCOMPARE(mm(window).mode(), media::ControlMode::Paused);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
    QTRY_COMPARE(announced(QStringLiteral("PlaybackStatus")).value_or(QVariant()).toString(),
                 QStringLiteral("Paused"));
    const qlonglong pausedAt = property(QStringLiteral("Position")).toLongLong();
    QTest::qWait(300);
    QCOMPARE(property(QStringLiteral("Position")).toLongLong(), pausedAt);
    // Pause while paused would play on through the button; the bus's Pause does not.
    call(kPlayer, QStringLiteral("Pause"));
    QCOMPARE(mm(window).mode(), media::ControlMode::Paused);

    call(kPlayer, QStringLiteral("PlayPause"));
    QCOMPARE(mm(window).mode(), media::ControlMode::Playing);
    QTRY_VERIFY(property(QStringLiteral("Position")).toLongLong() > pausedAt);

    QSignalSpy done(&mm(window), &MediaControl::done);
    call(kPlayer, QStringLiteral("Stop"));
    QCOMPARE(mm(window).mode(), media::ControlMode::Stopped);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QCOMPARE(property(QStringLiteral("CanPause")).toBool(), false);
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifyAborted);
    QTRY_COMPARE(announced(QStringLiteral("PlaybackStatus")).value_or(QVariant()).toString(),
                 QStringLiteral("Stopped"));
    // The Stop button is disabled now: the bus's Stop does nothing.
    clicks.clear();
    call(kPlayer, QStringLiteral("Stop"));
    QCOMPARE(clicks.size(), 0);
}

void TestMprisPlayer::wavSkipRewindsTheFileAndKeepsPlaying()
{
    DesignedWindow &window = openPlayer("mnuWav", WindowClass::WavPlayer);
    mm(window).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(window, wav(QStringLiteral("tone.wav"), 30), "CMDialog1");
    call(kPlayer, QStringLiteral("Play"));
    QTRY_VERIFY(mm(window).position() >= 1000);
    const QString track =
        metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();

    // A file is one track: Next and Previous both go back to its start, still playing.
    call(kPlayer, QStringLiteral("Next"));
    QVERIFY(mm(window).position() < 800); // back at the start, and only just on
    QCOMPARE(mm(window).mode(), media::ControlMode::Playing);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    QCOMPARE(metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
             track);
    QTRY_COMPARE(m_seeks.size(), 1);
    QVERIFY(m_seeks.front() < 800'000);

    QTRY_VERIFY(mm(window).position() >= 1000);
    call(kPlayer, QStringLiteral("Previous"));
    QVERIFY(mm(window).position() < 800); // back at the start, and only just on
    QCOMPARE(mm(window).mode(), media::ControlMode::Playing);
    QTRY_COMPARE(m_seeks.size(), 2);
    call(kPlayer, QStringLiteral("Stop"));
}

void TestMprisPlayer::wavEndOfSoundIsAnnounced()
{
    DesignedWindow &window = openPlayer("mnuWav", WindowClass::WavPlayer);
    // Faster than real time: the sound ends at once.
    mm(window).setDeviceContext({[] { return std::make_unique<media::TestAudioSink>(); }, {}});
    openThroughMenu(window, wav(QStringLiteral("short.wav"), 2), "CMDialog1");
    QSignalSpy done(&mm(window), &MediaControl::done);
    call(kPlayer, QStringLiteral("Play"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifySuccessful);
    // The window's Done handler rewound the sound; the bus tells it has stopped.
    QCOMPARE(mm(window).position(), 0);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QTRY_COMPARE(announced(QStringLiteral("PlaybackStatus")).value_or(QVariant()).toString(),
                 QStringLiteral("Stopped"));
    QCOMPARE(property(QStringLiteral("Position")).toLongLong(), 0);
}

void TestMprisPlayer::midiStatusTextFollowsTheBus()
{
    DesignedWindow &window = openPlayer("mnuMidi", WindowClass::MidiPlayer);
    const auto status = [&] { return window.control<QLineEdit>(QStringLiteral("txtbox"))->text(); };
    mm(window).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(window, midi(QStringLiteral("song.mid"), 40), "cmdialog1");
    QCOMPARE(mm(window).error(), 0);
    QCOMPARE(metadata().value(QStringLiteral("xesam:title")).toString(),
             QStringLiteral("song.mid"));
    QCOMPARE(metadata().value(QStringLiteral("mpris:length")).toLongLong(), 20'000'000LL);
    QCOMPARE(status(), QStringLiteral("Welcome"));

    call(kPlayer, QStringLiteral("Play"));
    QCOMPARE(status(), QStringLiteral("Play MIDI")); // the window's PlayClick handler
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));

    QStringList seenOnClick;
    connect(&mm(window), &MediaControl::buttonClick, this,
            [&](MediaButton, bool &) { seenOnClick << status(); });
    call(kPlayer, QStringLiteral("PlayPause"));
    // PauseClick said "Press Play", then PauseCompleted "Paused", as for a click.
    QCOMPARE(seenOnClick.last(), QStringLiteral("Press Play"));
    QCOMPARE(status(), QStringLiteral("Paused"));
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));

    call(kPlayer, QStringLiteral("PlayPause"));
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
    QTRY_VERIFY(mm(window).position() >= 300);

    // The window's StopClick handler says "Stopped" and sends Next: back to the start.
    call(kPlayer, QStringLiteral("Stop"));
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(mm(window).position(), 0);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QCOMPARE(property(QStringLiteral("Position")).toLongLong(), 0);

    // The MIDI window has no handler for Next: the status stays, the control skips.
    call(kPlayer, QStringLiteral("Play"));
    QTRY_VERIFY(mm(window).position() >= 1000);
    call(kPlayer, QStringLiteral("Next"));
    QVERIFY(mm(window).position() < 800);
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    QTRY_COMPARE(m_seeks.size(), 1);
    call(kPlayer, QStringLiteral("Stop"));
}

void TestMprisPlayer::disabledOrCancelledButtonsDoNothing()
{
    DesignedWindow &window = openPlayer("mnuWav", WindowClass::WavPlayer);
    // No file: every button is disabled, and so nothing is pressed.
    QList<MediaButton> clicks;
    connect(&mm(window), &MediaControl::buttonClick, this,
            [&](MediaButton b, bool &) { clicks << b; });
    for (const char *method : {"Play", "PlayPause", "Pause", "Stop", "Next", "Previous"})
        call(kPlayer, QString::fromLatin1(method));
    QCOMPARE(clicks.size(), 0);
    QCOMPARE(property(QStringLiteral("CanPlay")).toBool(), false);
    QCOMPARE(property(QStringLiteral("CanGoNext")).toBool(), false);
    QCOMPARE(property(QStringLiteral("CanGoPrevious")).toBool(), false);

    // A Click handler that cancels stops the bus's press as it stops a click.
    mm(window).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(window, wav(QStringLiteral("tone.wav"), 5), "CMDialog1");
    QSignalSpy completed(&mm(window), &MediaControl::buttonCompleted);
    const QMetaObject::Connection cancelling =
        connect(&mm(window), &MediaControl::buttonClick, this,
                [](MediaButton, bool &cancel) { cancel = true; });
    call(kPlayer, QStringLiteral("Play"));
    disconnect(cancelling);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(completed.size(), 0);
    QCOMPARE(mm(window).mode(), media::ControlMode::Stopped);
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
}

void TestMprisPlayer::actsOnThePlayerUsedLast()
{
    DesignedWindow &wavWindow = openPlayer("mnuWav", WindowClass::WavPlayer);
    mm(wavWindow).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(wavWindow, wav(QStringLiteral("tone.wav"), 30), "CMDialog1");
    call(kPlayer, QStringLiteral("Play"));
    QCOMPARE(mm(wavWindow).mode(), media::ControlMode::Playing);
    // Back to the main menu: the sound goes on, and the bus still speaks of it.
    QTest::mouseClick(wavWindow.control(QStringLiteral("cmdExit")), Qt::LeftButton);
    QVERIFY(!wavWindow.isVisible());
    QCOMPARE(metadata().value(QStringLiteral("xesam:title")).toString(),
             QStringLiteral("tone.wav"));

    // The MIDI player shows: from now on the bus acts on its control.
    DesignedWindow &midiWindow = openPlayer("mnuMidi", WindowClass::MidiPlayer);
    QVERIFY(metadata().isEmpty());
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QTRY_COMPARE(announced(QStringLiteral("PlaybackStatus")).value_or(QVariant()).toString(),
                 QStringLiteral("Stopped"));
    mm(midiWindow)
        .setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(midiWindow, midi(QStringLiteral("song.mid"), 8), "cmdialog1");
    call(kPlayer, QStringLiteral("Play"));
    QCOMPARE(mm(midiWindow).mode(), media::ControlMode::Playing);
    call(kPlayer, QStringLiteral("Stop"));
    QCOMPARE(mm(midiWindow).mode(), media::ControlMode::Stopped);
    QCOMPARE(mm(wavWindow).mode(), media::ControlMode::Playing); // untouched

    // Pressing a button of the WAV control, hidden or not, makes it the one used last.
    QTest::mouseClick(mm(wavWindow).button(MediaButton::Pause), Qt::LeftButton);
    QCOMPARE(m_service->tracker().control(), &mm(wavWindow));
    QCOMPARE(metadata().value(QStringLiteral("xesam:title")).toString(),
             QStringLiteral("tone.wav"));
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
    call(kPlayer, QStringLiteral("Stop"));
    QCOMPARE(mm(wavWindow).mode(), media::ControlMode::Stopped);
}

void TestMprisPlayer::raiseShowsThePlayerThroughNavigation()
{
    DesignedWindow &mainMenu = m_registry->get(WindowClass::MainMenu);
    // Before any player: the main menu is what there is to raise.
    call(kRoot, QStringLiteral("Raise"));
    QVERIFY(mainMenu.isVisible());

    DesignedWindow &midiWindow = openPlayer("mnuMidi", WindowClass::MidiPlayer);
    midiWindow.menuItem(QStringLiteral("mnuExit"))->trigger();
    QVERIFY(!midiWindow.isVisible());
    QVERIFY(mainMenu.isVisible());

    call(kRoot, QStringLiteral("Raise"));
    QVERIFY(midiWindow.isVisible());
    QVERIFY(!mainMenu.isVisible()); // as when the main menu opens the player
}

void TestMprisPlayer::discTracksAreNumbered()
{
    DesignedWindow &window = openPlayer("mnuCd", WindowClass::CdPlayer);
    const auto status = [&] { return window.control<QLineEdit>(QStringLiteral("txtno"))->text(); };
    test::FakeDevice *disc = nullptr;
    mm(window).setDeviceContext({{}, [&disc](const QString &) {
                                     auto d = std::make_unique<test::FakeDevice>();
                                     d->length = 300000;
                                     d->tracks = {0, 120000, 200000};
                                     d->caps.canEject = true;
                                     disc = d.get();
                                     return std::unique_ptr<media::MediaDevice>(std::move(d));
                                 }});
    QTest::mouseClick(window.control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    QCOMPARE(status(), QStringLiteral("Disk Loaded"));
    QVERIFY(disc);
    QVariantMap meta = metadata();
    QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Track 1"));
    QCOMPARE(meta.value(QStringLiteral("mpris:length")).toLongLong(), 120'000'000LL);

    call(kPlayer, QStringLiteral("Play"));
    QCOMPARE(status(), QStringLiteral("Disk Play"));
    call(kPlayer, QStringLiteral("Next"));
    QCOMPARE(status(), QStringLiteral("Disk Play")); // the window's NextClick handler
    QCOMPARE(disc->position, 120000);
    meta = metadata();
    QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Track 2"));
    QCOMPARE(meta.value(QStringLiteral("mpris:length")).toLongLong(), 80'000'000LL);
    QVERIFY(meta.value(QStringLiteral("mpris:trackid"))
                .value<QDBusObjectPath>()
                .path()
                .endsWith(QStringLiteral("/track2")));
    QTRY_COMPARE(announced(QStringLiteral("Metadata"))
                     .value_or(QVariant())
                     .toMap()
                     .value(QStringLiteral("xesam:title"))
                     .toString(),
                 QStringLiteral("Track 2"));
    disc->position = 130000;
    QCOMPARE(property(QStringLiteral("Position")).toLongLong(), 10'000'000LL);
    QVERIFY(m_seeks.isEmpty()); // a new track, not a seek

    call(kPlayer, QStringLiteral("Pause"));
    QCOMPARE(status(), QStringLiteral("Paused"));
    call(kPlayer, QStringLiteral("Stop"));
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
}

void TestMprisPlayer::playerctlDrivesThePlayer()
{
    DesignedWindow &window = openPlayer("mnuWav", WindowClass::WavPlayer);
    mm(window).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(window, wav(QStringLiteral("tone.wav"), 30), "CMDialog1");

    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
    QCOMPARE(playerctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                        QStringLiteral("{{title}} {{mpris:length}}")}),
             QStringLiteral("tone.wav 30000000"));
    playerctl({QStringLiteral("play-pause")});
    QCOMPARE(mm(window).mode(), media::ControlMode::Playing);
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Playing"));
    playerctl({QStringLiteral("pause")});
    QCOMPARE(mm(window).mode(), media::ControlMode::Paused);
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Paused"));
    playerctl({QStringLiteral("stop")});
    QCOMPARE(mm(window).mode(), media::ControlMode::Stopped);
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
}

void TestMprisPlayer::seeksMoveThePositionAndKeepTheMode()
{
    DesignedWindow &window = openPlayer("mnuWav", WindowClass::WavPlayer);
    QCOMPARE(property(QStringLiteral("CanSeek")).toBool(), false); // nothing open
    mm(window).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    openThroughMenu(window, wav(QStringLiteral("tone.wav"), 30), "CMDialog1");
    QTRY_COMPARE(announced(QStringLiteral("CanSeek")).value_or(QVariant()).toBool(), true);
    const QVariant track = metadata().value(QStringLiteral("mpris:trackid"));
    const auto at = [&](qlonglong us) { return QVariantList{track, QVariant::fromValue(us)}; };
    QSignalSpy done(&mm(window), &MediaControl::done);
    call(kPlayer, QStringLiteral("Play"));
    call(kPlayer, QStringLiteral("SetPosition"), at(20'000'000));
    QVERIFY(mm(window).position() >= 20000 && mm(window).position() < 25000);
    QCOMPARE(mm(window).mode(), media::ControlMode::Playing);
    call(kPlayer, QStringLiteral("Seek"), {QVariant::fromValue<qlonglong>(-15'000'000)});
    QVERIFY(mm(window).position() >= 5000 && mm(window).position() < 10000);
    QTRY_COMPARE(m_seeks.size(), 2);

    call(kPlayer, QStringLiteral("Pause"));
    QCOMPARE(mm(window).mode(), media::ControlMode::Paused);
    // The bar follows at the next status update, and no seek ended the play.
    QTRY_COMPARE(window.control<QScrollBar>(QStringLiteral("hsbposition"))->value(),
                 mm(window).position());
    QVERIFY(done.isEmpty());
}

void TestMprisPlayer::openUriOpensInItsPlayer()
{
    const QString song = midi(QStringLiteral("song.mid"), 40);
    call(kPlayer, QStringLiteral("OpenUri"), {QUrl::fromLocalFile(song).toString()});
    QTRY_VERIFY_WITH_TIMEOUT(m_registry->exists(WindowClass::MidiPlayer), 20000);
    DesignedWindow &window = m_registry->get(WindowClass::MidiPlayer);
    QTRY_COMPARE_WITH_TIMEOUT(mm(window).mode(), media::ControlMode::Playing, 20000);
    QVERIFY(window.isVisible() && !m_registry->get(WindowClass::MainMenu).isVisible());
    QCOMPARE(window.control<QLineEdit>(QStringLiteral("txtbox"))->text(),
             QStringLiteral("Play MIDI"));
    // Another scheme is refused, and nothing changes.
    QCOMPARE(
        call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("https://a.org/b.mid")}).type(),
        QDBusMessage::ErrorMessage);
    call(kPlayer, QStringLiteral("Stop"));
}

QTEST_MAIN(TestMprisPlayer)
#include "tst_mprisplayer.moc"
