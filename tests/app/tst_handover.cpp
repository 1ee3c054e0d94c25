// One kit per desktop login, with the real program on a private session bus (the test runs
// under dbus-run-session): a later start hands its medium to the running kit and ends, two
// starts at once leave one kit, and a name held by something that is no kit is left alone. What
// the running kit does is seen through its media-player interface on the same bus.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/MidiWriter.h"
#include "support/WavWriter.h"

#include <memory>
#include <vector>

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
    void aNameHeldByNoKitIsLeftAlone();

private:
    QProcess &start(const QStringList &arguments, const QString &folder = QString());
    bool registered(const QString &name) { return m_bus.interface()->isServiceRegistered(name); }
    // A property of the running kit's Player interface.
    QVariant player(const QString &property);
    QString playingTitle();

    QTemporaryDir m_dir;
    QString m_wav;
    QString m_midi;
    QDBusConnection m_bus{QString()};
    std::vector<std::unique_ptr<QProcess>> m_kits;
};

void TestHandOver::initTestCase()
{
    m_bus = QDBusConnection::sessionBus();
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
    for (const std::unique_ptr<QProcess> &kit : m_kits) {
        kit->kill();
        kit->waitForFinished();
    }
    m_kits.clear();
    QTRY_VERIFY_WITH_TIMEOUT(!registered(kKitName) && !registered(kPlayerName), 20000);
}

QProcess &TestHandOver::start(const QStringList &arguments, const QString &folder)
{
    m_kits.push_back(std::make_unique<QProcess>());
    QProcess &kit = *m_kits.back();
    kit.setProcessChannelMode(QProcess::ForwardedChannels);
    kit.setWorkingDirectory(folder);
    kit.start(QStringLiteral(ZYR_KIT_PROGRAM), arguments);
    return kit;
}

QVariant TestHandOver::player(const QString &property)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kPlayerName, QStringLiteral("/org/mpris/MediaPlayer2"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.mpris.MediaPlayer2.Player") << property;
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, 10000);
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QString TestHandOver::playingTitle()
{
    if (!registered(kPlayerName) ||
        player(QStringLiteral("PlaybackStatus")).toString() != QLatin1String("Playing"))
        return {};
    const QVariant metadata = player(QStringLiteral("Metadata"));
    return qdbus_cast<QVariantMap>(metadata.value<QDBusArgument>())
        .value(QStringLiteral("xesam:title"))
        .toString();
}

void TestHandOver::laterStartsHandOverAndEnd()
{
    QProcess &first = start({});
    QTRY_VERIFY_WITH_TIMEOUT(registered(kKitName), kStartTimeoutMs);

    QProcess &second = start({m_midi});
    QVERIFY(second.waitForFinished(kStartTimeoutMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    // The running kit shows the MIDI player, playing.
    QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), QStringLiteral("song.mid"), kStartTimeoutMs);

    // A relative path means the starting program's folder, not the running kit's.
    QProcess &third = start({QStringLiteral("tone.wav")}, m_dir.path());
    QVERIFY(third.waitForFinished(kStartTimeoutMs));
    QCOMPARE(third.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), QStringLiteral("tone.wav"), kStartTimeoutMs);

    // Without a medium: the running kit comes to the front, and this start ends.
    QProcess &fourth = start({});
    QVERIFY(fourth.waitForFinished(kStartTimeoutMs));
    QCOMPARE(fourth.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
}

void TestHandOver::twoStartsAtOnceLeaveOneKit()
{
    QProcess &a = start({m_wav});
    QProcess &b = start({m_midi});
    QTRY_VERIFY_WITH_TIMEOUT(a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning,
                             kStartTimeoutMs);
    QProcess &ended = a.state() == QProcess::NotRunning ? a : b;
    const QProcess &kit = &ended == &a ? b : a;
    QCOMPARE(ended.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ended.exitCode(), 0);
    // The kit opens both media, its own and the one handed over, in the order they reached it.
    QTRY_VERIFY_WITH_TIMEOUT(!playingTitle().isEmpty(), kStartTimeoutMs);
    QVERIFY(QStringList({QStringLiteral("tone.wav"), QStringLiteral("song.mid")})
                .contains(playingTitle()));
    QCOMPARE(kit.state(), QProcess::Running);
}

void TestHandOver::aNameHeldByNoKitIsLeftAlone()
{
    QDBusConnection squatter =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("squatter"));
    QVERIFY(squatter.registerService(kKitName));
    QProcess &kit = start({m_wav});
    // It could not hand over, so it is the kit itself.
    QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), QStringLiteral("tone.wav"), kStartTimeoutMs);
    QCOMPARE(kit.state(), QProcess::Running);
    QDBusConnection::disconnectFromBus(QStringLiteral("squatter"));
}

QTEST_GUILESS_MAIN(TestHandOver)
#include "tst_handover.moc"
