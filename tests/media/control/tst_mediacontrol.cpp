// The media device control's contract, against a fake device: Done and its codes, seeks that
// never raise Done, buttons and their events, properties by dispatch id, the persisted block.

#include "FakeDevice.h"

#include "media/ComponentError.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace zyr::media;
using namespace std::chrono_literals;
using zyr::test::FakeDevice;

Q_DECLARE_METATYPE(zyr::media::ControlMode)
Q_DECLARE_METATYPE(zyr::media::MediaButton)

namespace {

QByteArray block(std::uint16_t interval = 1000)
{
    return MediaControlSettings::toPersisted(6456, 661, interval, 0xFFFF);
}

// A control whose devices are fakes; `device` is the one opened last.
struct Rig {
    MediaControl control{block()};
    FakeDevice *device = nullptr;
    std::function<void(FakeDevice &)> prepare;

    Rig()
    {
        control.resize(244, 25);
        DeviceContext context;
        context.makeDevice = [this](const QString &type) -> std::unique_ptr<MediaDevice> {
            if (type != QLatin1String("Fake"))
                return nullptr;
            auto d = std::make_unique<FakeDevice>();
            if (prepare)
                prepare(*d);
            device = d.get();
            return d;
        };
        control.setDeviceContext(std::move(context));
        control.put(MediaControl::kDeviceType, QStringLiteral("Fake"));
        control.put(MediaControl::kFileName, QStringLiteral("medium"));
    }
    void command(const char *c) { control.put(MediaControl::kCommand, QString::fromLatin1(c)); }
    std::int16_t error() { return std::get<std::int16_t>(control.get(MediaControl::kError)); }
    std::int32_t position() { return std::get<std::int32_t>(control.get(MediaControl::kPosition)); }
    std::int32_t length() { return std::get<std::int32_t>(control.get(MediaControl::kLength)); }
};

QList<int> codes(const QSignalSpy &spy)
{
    QList<int> out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toInt();
    return out;
}

} // namespace

class TestMediaControl : public QObject {
    Q_OBJECT
private slots:
    void doneOnceAtTheEndWithPositionEqualToLength();
    void seeksNeverRaiseDone();
    void seekGoesToToClampedAndKeepsTheMode();
    void lengthZeroMediumDoesNotLoopWithPrevInDone();
    void doneCodesForSupersededAndAborted();
    void openWhilePlayingReplacesTheDevice();
    void loadWhilePlayingEndsThePlay();
    void failedOpenLeavesNoDevice();
    void commandsThatCannotBeDoneSetErrorWithoutRaising_data();
    void commandsThatCannotBeDoneSetErrorWithoutRaising();
    void dispatchIdsAndTypes();
    void buttonEnabling_data();
    void buttonEnabling();
    void clickCancelStopsTheCommand();
    void clickThenCompletedAroundTheCommand();
    void pauseAgainResumes();
    void prevAndNextOnTracks();
    void statusUpdateAtTheInterval();
    void persistedBlock_data();
    void persistedBlock();
};

void TestMediaControl::doneOnceAtTheEndWithPositionEqualToLength()
{
    Rig rig;
    QSignalSpy done(&rig.control, &MediaControl::done);
    rig.command("Open");
    QCOMPARE(rig.error(), 0);
    rig.command("Play");
    QCOMPARE(rig.control.mode(), ControlMode::Playing);
    rig.device->finish();
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(codes(done), QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.position(), rig.length());
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QTest::qWait(20);
    QCOMPARE(done.size(), 1);
}

void TestMediaControl::seeksNeverRaiseDone()
{
    Rig rig;
    QSignalSpy done(&rig.control, &MediaControl::done);
    rig.command("Open");
    rig.command("Prev");
    rig.command("Next");
    rig.command("Play");
    rig.command("Prev");
    rig.command("Next");
    QTest::qWait(20);
    QVERIFY(done.isEmpty());
    QCOMPARE(rig.control.mode(), ControlMode::Playing); // the seeks kept the mode
}

void TestMediaControl::seekGoesToToClampedAndKeepsTheMode()
{
    Rig rig;
    const auto seekTo = [&](std::int32_t ms) {
        rig.control.put(MediaControl::kTo, ms);
        rig.command("Seek");
        return rig.error();
    };
    // No device: the outcome lands in Error, nothing is raised.
    QCOMPARE(seekTo(100), std::int16_t(MediaErrorCode::NoDeviceOpen));
    QSignalSpy done(&rig.control, &MediaControl::done);
    rig.command("Open");
    QCOMPARE(seekTo(4000), 0);
    QCOMPARE(rig.position(), 4000);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    rig.command("Play");
    seekTo(-50);
    QCOMPARE(rig.device->calls.last(), QStringLiteral("seek 0"));
    QVERIFY(rig.device->playing);
    rig.command("Pause");
    seekTo(99999);
    QCOMPARE(rig.device->calls.last(), QStringLiteral("seek 10000"));
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    QCoreApplication::processEvents(); // Done is queued: a wrong one would arrive now
    QVERIFY(done.isEmpty());
    QVERIFY_THROWS_EXCEPTION(ComponentError, rig.control.put(MediaControl::kTo, std::int16_t(5)));
}

void TestMediaControl::lengthZeroMediumDoesNotLoopWithPrevInDone()
{
    Rig rig;
    rig.prepare = [](FakeDevice &d) { d.length = 0; };
    int doneCount = 0;
    connect(&rig.control, &MediaControl::done, &rig.control, [&](int) {
        ++doneCount;
        if (rig.position() == rig.length()) {
            rig.command("Prev");
            rig.command("Next");
        }
    });
    rig.command("Open");
    rig.command("Play");
    QTRY_COMPARE(doneCount, 1);
    QTest::qWait(50);
    QCOMPARE(doneCount, 1);
}

void TestMediaControl::doneCodesForSupersededAndAborted()
{
    Rig rig;
    QSignalSpy done(&rig.control, &MediaControl::done);
    rig.command("Open");
    rig.command("Play");
    rig.command("Play"); // a new play takes over
    rig.command("Pause");
    rig.command("Stop"); // ends the paused play
    rig.command("Stop"); // nothing left to end
    rig.command("Play");
    rig.command("Close");
    QTRY_COMPARE(done.size(), 3);
    QTest::qWait(20);
    QCOMPARE(codes(done), (QList<int>{MediaControl::kNotifySuperseded, MediaControl::kNotifyAborted,
                                      MediaControl::kNotifyAborted}));
    // Done is queued: it never arrives inside the command that caused it.
    QSignalSpy later(&rig.control, &MediaControl::done);
    rig.command("Open");
    rig.command("Play");
    rig.command("Stop");
    QCOMPARE(later.size(), 0);
    QTRY_COMPARE(later.size(), 1);
}

void TestMediaControl::openWhilePlayingReplacesTheDevice()
{
    Rig rig;
    QSignalSpy done(&rig.control, &MediaControl::done);
    rig.command("Open");
    rig.command("Play");
    QPointer<FakeDevice> first = rig.device;
    rig.prepare = [](FakeDevice &d) { d.length = 2500; };
    rig.command("Open");
    QCOMPARE(rig.error(), 0);
    QVERIFY(first.isNull()); // the first device was closed
    QCOMPARE(rig.length(), 2500);
    QCOMPARE(rig.position(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QTRY_COMPARE(codes(done), QList<int>{MediaControl::kNotifyAborted});
}

void TestMediaControl::loadWhilePlayingEndsThePlay()
{
    Rig rig;
    rig.prepare = [](FakeDevice &d) { d.caps.canEject = true; };
    QSignalSpy done(&rig.control, &MediaControl::done);
    rig.command("Open");
    rig.command("Play");
    rig.command("Load"); // the disc is opened again while it plays
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QTRY_COMPARE(codes(done), QList<int>{MediaControl::kNotifyAborted});
    // The next play is a play of its own, with a Done of its own.
    rig.command("Play");
    rig.command("Close");
    QTRY_COMPARE(done.size(), 2);
    QTest::qWait(20);
    QCOMPARE(codes(done), (QList<int>{MediaControl::kNotifyAborted, MediaControl::kNotifyAborted}));
}

void TestMediaControl::failedOpenLeavesNoDevice()
{
    Rig rig;
    rig.command("Open");
    rig.prepare = [](FakeDevice &d) { d.failOpen = true; };
    rig.command("Open");
    QVERIFY(rig.error() > 0);
    QCOMPARE(rig.error(), std::int16_t(MediaErrorCode::FileNotFound));
    QVERIFY(!rig.control.errorMessage().isEmpty());
    QCOMPARE(rig.control.mode(), ControlMode::NoDevice);
    QCOMPARE(rig.length(), 0);
    QCOMPARE(rig.position(), 0);
    rig.command("Play");
    QCOMPARE(rig.error(), std::int16_t(MediaErrorCode::NoDeviceOpen));
    for (const MediaButtonInfo &info : kMediaButtons)
        QVERIFY(!rig.control.button(info.button)->isEnabled());
    // The attempt's type and name are kept.
    QCOMPARE(std::get<QString>(rig.control.get(MediaControl::kFileName)), QStringLiteral("medium"));
    // An unknown device type fails the same way.
    rig.control.put(MediaControl::kDeviceType, QStringLiteral("Teleporter"));
    rig.command("Open");
    QCOMPARE(rig.error(), std::int16_t(MediaErrorCode::UnknownDeviceType));
}

void TestMediaControl::commandsThatCannotBeDoneSetErrorWithoutRaising_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("expected");
    QTest::newRow("Load without a tray") << "Load" << int(MediaErrorCode::UnsupportedCommand);
    QTest::newRow("Eject without a tray") << "Eject" << int(MediaErrorCode::UnsupportedCommand);
    QTest::newRow("Step without frames") << "Step" << int(MediaErrorCode::UnsupportedCommand);
    QTest::newRow("Record") << "Record" << int(MediaErrorCode::UnsupportedCommand);
    QTest::newRow("unknown") << "Rewind" << int(MediaErrorCode::UnknownCommand);
    QTest::newRow("empty") << "" << int(MediaErrorCode::UnknownCommand);
    QTest::newRow("any case") << "pLaY" << 0;
}

void TestMediaControl::commandsThatCannotBeDoneSetErrorWithoutRaising()
{
    QFETCH(QString, command);
    QFETCH(int, expected);
    Rig rig;
    rig.command("Open");
    rig.control.put(MediaControl::kCommand, command);
    QCOMPARE(int(rig.error()), expected);
    if (expected != 0)
        QVERIFY(!rig.control.errorMessage().isEmpty());
    rig.command("Stop"); // a good command clears Error
    QCOMPARE(rig.error(), 0);
}

void TestMediaControl::dispatchIdsAndTypes()
{
    Rig rig;
    try {
        rig.control.get(99);
        QFAIL("an unknown id must raise");
    } catch (const ComponentError &e) {
        QCOMPARE(e.code(), ComponentError::kNoSuchProperty);
    }
    QVERIFY_THROWS_EXCEPTION(ComponentError, rig.control.put(7, QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(ComponentError,
                             rig.control.put(MediaControl::kLength, std::int32_t(1)));
    try {
        rig.control.put(MediaControl::kUpdateInterval, QStringLiteral("250"));
        QFAIL("a string for UpdateInterval must raise");
    } catch (const ComponentError &e) {
        QCOMPARE(e.code(), ComponentError::kTypeMismatch);
    }
    QVERIFY_THROWS_EXCEPTION(ComponentError,
                             rig.control.put(MediaControl::kCommand, std::int16_t(1)));
    rig.control.put(MediaControl::kUpdateInterval, std::int16_t(250));
    QCOMPARE(std::get<std::int16_t>(rig.control.get(MediaControl::kUpdateInterval)), 250);
    QVERIFY(std::holds_alternative<std::int32_t>(rig.control.get(MediaControl::kLength)));
    QVERIFY(std::holds_alternative<std::int32_t>(rig.control.get(MediaControl::kPosition)));
    QVERIFY(std::holds_alternative<std::int16_t>(rig.control.get(MediaControl::kError)));
}

void TestMediaControl::buttonEnabling_data()
{
    QTest::addColumn<QString>("commands");
    QTest::addColumn<bool>("canStep");
    QTest::addColumn<bool>("canEject");
    QTest::addColumn<ControlMode>("mode");
    QTest::addColumn<QString>("enabled"); // Prev Next Play Pause Back Step Stop Record Eject
    QTest::newRow("no device") << "" << true << true << ControlMode::NoDevice << "---------";
    QTest::newRow("stopped") << "Open" << false << false << ControlMode::Stopped << "EEE------";
    QTest::newRow("stopped, frames, tray")
        << "Open" << true << true << ControlMode::Stopped << "EEE-EE--E";
    QTest::newRow("playing") << "Open Play" << false << false << ControlMode::Playing
                             << "EE-E--E--";
    QTest::newRow("playing, frames, tray")
        << "Open Play" << true << true << ControlMode::Playing << "EE-EEEE-E";
    QTest::newRow("paused") << "Open Play Pause" << true << true << ControlMode::Paused
                            << "EEEEEEE-E";
    QTest::newRow("tray open") << "Open Play Eject" << true << true << ControlMode::TrayOpen
                               << "--------E";
    QTest::newRow("loaded again") << "Open Eject Load" << true << true << ControlMode::Stopped
                                  << "EEE-EE--E";
}

void TestMediaControl::buttonEnabling()
{
    QFETCH(QString, commands);
    QFETCH(bool, canStep);
    QFETCH(bool, canEject);
    QFETCH(ControlMode, mode);
    QFETCH(QString, enabled);
    Rig rig;
    rig.prepare = [&](FakeDevice &d) {
        d.caps.canStep = canStep;
        d.caps.canEject = canEject;
    };
    for (const QString &c : commands.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        rig.control.put(MediaControl::kCommand, c);
    QCOMPARE(rig.control.mode(), mode);
    QString actual;
    for (const MediaButtonInfo &info : kMediaButtons)
        actual +=
            rig.control.button(info.button)->isEnabled() ? QLatin1Char('E') : QLatin1Char('-');
    QCOMPARE(actual, enabled);
}

void TestMediaControl::clickCancelStopsTheCommand()
{
    Rig rig;
    rig.command("Open");
    QSignalSpy completed(&rig.control, &MediaControl::buttonCompleted);
    connect(&rig.control, &MediaControl::buttonClick, &rig.control,
            [](MediaButton, bool &cancel) { cancel = true; });
    QTest::mouseClick(rig.control.button(MediaButton::Play), Qt::LeftButton);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QVERIFY(!rig.device->calls.contains(QStringLiteral("play")));
    QVERIFY(completed.isEmpty());
}

void TestMediaControl::clickThenCompletedAroundTheCommand()
{
    Rig rig;
    rig.prepare = [](FakeDevice &d) { d.caps.canEject = true; };
    rig.command("Open");
    QStringList events;
    connect(&rig.control, &MediaControl::buttonClick, &rig.control, [&](MediaButton b, bool &) {
        events << QStringLiteral("click %1 calls=%2")
                      .arg(QLatin1String(mediaButtonInfo(b).eventName))
                      .arg(rig.device->calls.size());
    });
    connect(&rig.control, &MediaControl::buttonCompleted, &rig.control, [&](MediaButton b, int e) {
        events << QStringLiteral("completed %1 %2 calls=%3")
                      .arg(QLatin1String(mediaButtonInfo(b).eventName))
                      .arg(e)
                      .arg(rig.device->calls.size());
    });
    QTest::mouseClick(rig.control.button(MediaButton::Play), Qt::LeftButton);
    QTest::mouseClick(rig.control.button(MediaButton::Pause), Qt::LeftButton);
    QTest::mouseClick(rig.control.button(MediaButton::Eject), Qt::LeftButton);
    QCOMPARE(events.size(), 5); // the eject completes once the tray has moved
    QTRY_COMPARE(events.size(), 6);
    QCOMPARE(events, (QStringList{"click Play calls=1", "completed Play 0 calls=2",
                                  "click Pause calls=2", "completed Pause 0 calls=3",
                                  "click Eject calls=3", "completed Eject 0 calls=4"}));
    QCOMPARE(rig.control.mode(), ControlMode::TrayOpen);
}

void TestMediaControl::pauseAgainResumes()
{
    Rig rig;
    QSignalSpy done(&rig.control, &MediaControl::done);
    rig.command("Open");
    rig.command("Play");
    rig.command("Pause");
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    rig.command("Pause");
    QCOMPARE(rig.control.mode(), ControlMode::Playing);
    QCOMPARE(rig.device->calls, (QStringList{"open medium", "play", "pause", "play"}));
    rig.device->finish(); // the resumed play reports its end once
    QTRY_COMPARE(codes(done), QList<int>{MediaControl::kNotifySuccessful});
}

void TestMediaControl::prevAndNextOnTracks()
{
    Rig rig;
    rig.prepare = [](FakeDevice &d) {
        d.length = 9000;
        d.tracks = {0, 3000, 6000};
    };
    std::chrono::steady_clock::time_point now{};
    rig.control.setClock([&now] { return now; });
    rig.command("Open");
    rig.device->position = 4000;
    rig.command("Next");
    QCOMPARE(rig.position(), 6000);
    rig.command("Next"); // already on the last track: its start
    QCOMPARE(rig.position(), 6000);
    rig.device->position = 7500;
    rig.command("Prev"); // start of the current track
    QCOMPARE(rig.position(), 6000);
    now += 2999ms;
    rig.command("Prev"); // within 3 s of the last Prev: the previous track
    QCOMPARE(rig.position(), 3000);
    rig.command("Prev");
    QCOMPARE(rig.position(), 0);
    rig.command("Prev"); // nothing before the first track
    QCOMPARE(rig.position(), 0);
    rig.device->position = 4000;
    now += 3000ms;
    rig.command("Prev"); // 3 s after the last Prev: the current track's start again
    QCOMPARE(rig.position(), 3000);
}

void TestMediaControl::statusUpdateAtTheInterval()
{
    Rig rig;
    QSignalSpy status(&rig.control, &MediaControl::statusUpdate);
    rig.control.put(MediaControl::kUpdateInterval, std::int16_t(20));
    QTest::qWait(80);
    QCOMPARE(status.size(), 0); // nothing open
    rig.command("Open");
    QElapsedTimer sinceOpen;
    sinceOpen.start();
    // They keep coming while a medium is open, one an interval at most: a loaded machine makes
    // them late, never early, so only a lower bound on the time they take holds.
    QTRY_VERIFY_WITH_TIMEOUT(status.size() >= 6, 10000);
    QVERIFY2(sinceOpen.elapsed() >= 4 * 20, qPrintable(QString::number(sinceOpen.elapsed())));
    rig.control.put(MediaControl::kUpdateInterval, std::int16_t(0));
    status.clear();
    QTest::qWait(80);
    QCOMPARE(status.size(), 0);
}

void TestMediaControl::persistedBlock_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("interval"); // -1: refused
    const QByteArray good = block(250);
    QTest::newRow("good") << good << 250;
    QTest::newRow("flags 00 00") << MediaControlSettings::toPersisted(5927, 873, 1000, 0) << 1000;
    QTest::newRow("short") << good.left(95) << -1;
    QTest::newRow("long") << (good + '\0') << -1;
    QTest::newRow("empty") << QByteArray() << -1;
    const auto patched = [&](int offset, char value) {
        QByteArray b = good;
        b[offset] = value;
        return b;
    };
    QTest::newRow("stream signature") << patched(0, 0x22) << -1;
    QTest::newRow("control signature") << patched(17, 0x00) << -1;
    QTest::newRow("byte count") << patched(24, 65) << -1;
    QTest::newRow("padding at 50") << patched(50, 1) << -1;
    QTest::newRow("FF run at 70") << patched(70, 0) << -1;
    QTest::newRow("flags 80") << patched(80, 0x12) << -1;
    QTest::newRow("tail at 95") << patched(95, 1) << -1;
    QTest::newRow("interval above 16 bits") << patched(42, 1) << -1;
}

void TestMediaControl::persistedBlock()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, interval);
    if (interval < 0) {
        QVERIFY_THROWS_EXCEPTION(ComponentError, MediaControl control(bytes));
        QVERIFY(!MediaControlSettings::fromPersisted(bytes).ok());
        return;
    }
    MediaControl control(bytes);
    QCOMPARE(control.updateInterval(), interval);
}

QTEST_MAIN(TestMediaControl)
#include "tst_mediacontrol.moc"
