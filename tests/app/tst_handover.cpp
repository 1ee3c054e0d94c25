// One kit per desktop login, with the real program on a private session bus (the test runs
// under dbus-run-session): later starts hand their medium to the running kit and end, and two
// starts at once leave one kit. What the running kit plays is read from its media-player
// interface on the same bus.

#include "support/MidiWriter.h"
#include "support/WavWriter.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <list>

using namespace zyr;

namespace {

const QString kKitName = QStringLiteral("org.zyr.MultimediaKit");
const QString kPlayerName = QStringLiteral("org.mpris.MediaPlayer2.zyrkit");
// A kit starting under the sanitizers on a busy machine may take its time.
constexpr int kStartTimeoutMs = 60000;

} // namespace

class TestHandOver : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void laterStartsHandOverAndEnd();
    void twoStartsAtOnceLeaveOneKit();

private:
    QProcess &start(const QStringList &arguments, const QString &folder = QString())
    {
        QProcess &kit = m_kits.emplace_back();
        kit.setProcessChannelMode(QProcess::ForwardedChannels);
        kit.setWorkingDirectory(folder);
        kit.start(QStringLiteral(ZYR_KIT_PROGRAM), arguments);
        return kit;
    }
    static int endedWith(QProcess &kit)
    {
        kit.waitForFinished(kStartTimeoutMs); // false too when it has already ended
        return kit.state() == QProcess::NotRunning && kit.exitStatus() == QProcess::NormalExit
                   ? kit.exitCode()
                   : -1;
    }
    bool registered(const QString &name) { return m_bus.interface()->isServiceRegistered(name); }
    // The title of what the running kit plays; empty while it plays nothing.
    QString playingTitle();

    QTemporaryDir m_dir;
    QString m_wav, m_midi;
    QDBusConnection m_bus = QDBusConnection::sessionBus();
    std::list<QProcess> m_kits;
};

void TestHandOver::initTestCase()
{
    if (!m_bus.isConnected())
        QFAIL("no session bus: run this test under dbus-run-session");
    test::WavOptions o;
    o.frames = 44100 * 60;
    m_wav = m_dir.filePath(QStringLiteral("tone.wav"));
    QVERIFY(test::WavWriter::write(m_wav, o));
    m_midi = m_dir.filePath(QStringLiteral("song.mid"));
    QVERIFY(test::MidiWriter::writeQuarterNotes(m_midi, 120));
}

void TestHandOver::cleanup()
{
    for (QProcess &kit : m_kits) {
        kit.kill();
        kit.waitForFinished();
    }
    m_kits.clear();
    QTRY_VERIFY_WITH_TIMEOUT(!registered(kKitName) && !registered(kPlayerName), 20000);
}

QString TestHandOver::playingTitle()
{
    const auto get = [this](const char *property) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kPlayerName, QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QString::fromLatin1(property);
        const QDBusMessage reply = m_bus.call(get, QDBus::Block, 10000);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    if (!registered(kPlayerName) || get("PlaybackStatus").toString() != QLatin1String("Playing"))
        return {};
    return qdbus_cast<QVariantMap>(get("Metadata").value<QDBusArgument>())
        .value(QStringLiteral("xesam:title"))
        .toString();
}

void TestHandOver::laterStartsHandOverAndEnd()
{
    QProcess &first = start({});
    QTRY_VERIFY_WITH_TIMEOUT(registered(kKitName), kStartTimeoutMs);
    QCOMPARE(endedWith(start({m_midi})), 0);
    QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), QStringLiteral("song.mid"), kStartTimeoutMs);
    // A relative path means the starting program's folder, not the running kit's.
    QCOMPARE(endedWith(start({QStringLiteral("tone.wav")}, m_dir.path())), 0);
    QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), QStringLiteral("tone.wav"), kStartTimeoutMs);
    // Without a medium the running kit comes to the front.
    QCOMPARE(endedWith(start({})), 0);
    QCOMPARE(first.state(), QProcess::Running);
}

void TestHandOver::twoStartsAtOnceLeaveOneKit()
{
    QProcess &a = start({m_wav});
    QProcess &b = start({m_midi});
    QTRY_VERIFY_WITH_TIMEOUT(a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning,
                             kStartTimeoutMs);
    QProcess &ended = a.state() == QProcess::NotRunning ? a : b;
    QCOMPARE(endedWith(ended), 0);
    // The kit opens both media, its own and the one handed over, in the order they reach it.
    QTRY_VERIFY_WITH_TIMEOUT(!playingTitle().isEmpty(), kStartTimeoutMs);
    QCOMPARE((&ended == &a ? b : a).state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestHandOver)
#include "tst_handover.moc"
