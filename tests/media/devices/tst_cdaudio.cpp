// The CDAudio device through the media device control, on cue/bin images the tests write:
// tracks and lengths, Prev and Next between tracks, playback across a boundary and to the end,
// the errors of drives and discs, and Eject, Load and Open on a drive that takes its time.

#include "SlowTrayDrive.h"

#include "media/devices/CdAudioDevice.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/TestAudioSink.h"
#include "support/CdImageWriter.h"
#include "support/ThreadCpuTime.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zyr::media;
using zyr::test::CdImageOptions;
using zyr::test::CdImageTrack;
using zyr::test::CdImageWriter;
using zyr::test::SlowTrayDrive;
using zyr::test::threadCpuMs;

Q_DECLARE_METATYPE(zyr::test::CdImageOptions)

namespace {

// What the UI thread may spend itself on a command that leaves the drive's work to its thread.
constexpr double kUiCpuBudgetMs = 5;

// A control whose CDAudio devices use `drive` (an image in a simulated drive), sound into a test
// sink.
struct Rig {
    MediaControl control{MediaControlSettings::toPersisted(5927, 873, 1000, 0)};
    std::shared_ptr<SlowTrayDrive> drive;
    CdDriveTiming timing;
    TestAudioSink *sink = nullptr;
    QList<int> done;
    QList<int> ejected; // EjectCompleted's codes

    explicit Rig(const QString &cue)
    {
        drive = std::make_shared<SlowTrayDrive>(cue);
        DeviceContext context;
        context.makeDevice = [this](const QString &) -> std::unique_ptr<MediaDevice> {
            return std::make_unique<CdAudioDevice>(
                [this] {
                    auto s = std::make_unique<TestAudioSink>();
                    sink = s.get();
                    return s;
                },
                [this](const QString &) { return drive; }, timing);
        };
        control.setDeviceContext(std::move(context));
        control.put(MediaControl::kDeviceType, QStringLiteral("CDAudio"));
        QObject::connect(&control, &MediaControl::done, &control, [this](int c) { done << c; });
        QObject::connect(&control, &MediaControl::buttonCompleted, &control,
                         [this](MediaButton b, int code) {
                             if (b == MediaButton::Eject)
                                 ejected << code;
                         });
    }
    void command(const char *c) { control.put(MediaControl::kCommand, QString::fromLatin1(c)); }
};

} // namespace

class TestCdAudio : public QObject {
    Q_OBJECT
private slots:
    void tracksAndLength_data();
    void tracksAndLength();
    void playsAcrossTracksToTheEnd();
    void prevWithinAndAfterThreeSeconds();
    void nextStopsAtTheLastTrack();
    void errors_data();
    void errors();
    void ejectAndLoadNeverWaitOnTheDrive();
    void openWaitsForTheDiscAndGivesUpOnASilentDrive();
    void discChangedByHandIsNoticedBeforePlay();

private:
    QString image(const QString &name, const CdImageOptions &options);
    QTemporaryDir m_dir;
};

QString TestCdAudio::image(const QString &name, const CdImageOptions &options)
{
    QString why;
    const auto written =
        CdImageWriter::write(m_dir.filePath(name + QStringLiteral(".cue")), options, &why);
    if (!written)
        qFatal("cannot write image: %s", qPrintable(why));
    return written->cuePath;
}

void TestCdAudio::tracksAndLength_data()
{
    QTest::addColumn<CdImageOptions>("disc");
    QTest::addColumn<int>("lengthMs");
    QTest::addColumn<QList<qint64>>("starts");
    QTest::newRow("one track") << CdImageOptions{{{true, 150}}, 0} << 2000 << QList<qint64>{0};
    QTest::newRow("three tracks") << CdImageOptions{{{true, 75}, {true, 300}, {true, 38}}, 0}
                                  << 5507 << QList<qint64>{0, 1000, 5000};
    QTest::newRow("data track last") << CdImageOptions{{{true, 225}, {true, 75}, {false, 150}}, 0}
                                     << 4000 << QList<qint64>{0, 3000};
}

void TestCdAudio::tracksAndLength()
{
    QFETCH(CdImageOptions, disc);
    QFETCH(int, lengthMs);
    QFETCH(QList<qint64>, starts);
    Rig rig(image(QStringLiteral("disc"), disc));
    rig.command("Open");
    QCOMPARE(rig.control.error(), 0);
    QCOMPARE(rig.control.length(), lengthMs);
    // Next from each track lands on the next track's start; the last one stays.
    for (qsizetype i = 1; i < starts.size(); ++i) {
        rig.command("Next");
        QCOMPARE(qint64(rig.control.position()), starts[i]);
    }
    rig.command("Next");
    QCOMPARE(qint64(rig.control.position()), starts.last());
}

void TestCdAudio::playsAcrossTracksToTheEnd()
{
    Rig rig(image(QStringLiteral("across"), CdImageOptions{{{true, 40}, {true, 35}}, 0}));
    rig.command("Open");
    rig.command("Play");
    QTRY_COMPARE(rig.done, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.control.position(), rig.control.length());
    const std::vector<float> got = rig.sink->received();
    QCOMPARE(got.size(), std::size_t(75 * CdImageWriter::kFramesPerSector * 2));
    // Every sample in disc order, over the boundary between the tracks.
    for (std::int32_t sector : {0, 39, 40, 74})
        for (int frame : {0, 587}) {
            const std::size_t i = (std::size_t(sector) * 588 + std::size_t(frame)) * 2;
            QCOMPARE(got[i], CdImageWriter::floatSampleAt(sector, frame, 0));
            QCOMPARE(got[i + 1], CdImageWriter::floatSampleAt(sector, frame, 1));
        }
}

void TestCdAudio::prevWithinAndAfterThreeSeconds()
{
    Rig rig(image(QStringLiteral("prev"), CdImageOptions{{{true, 75}, {true, 75}, {true, 75}}, 0}));
    std::chrono::steady_clock::time_point now{};
    rig.control.setClock([&now] { return now; });
    rig.command("Open");
    rig.command("Next");
    rig.command("Next"); // the start of track 3
    QCOMPARE(rig.control.position(), 2000);
    rig.command("Prev"); // on a track's start: its start again
    QCOMPARE(rig.control.position(), 2000);
    rig.command("Prev"); // within 3 s of the last Prev: the previous track
    QCOMPARE(rig.control.position(), 1000);
    now += std::chrono::milliseconds(3100);
    rig.command("Next");
    QCOMPARE(rig.control.position(), 2000);
    rig.command("Prev"); // more than 3 s after the last Prev: the current track's start
    QCOMPARE(rig.control.position(), 2000);
    QVERIFY(rig.done.isEmpty()); // seeks never raise Done
}

void TestCdAudio::nextStopsAtTheLastTrack()
{
    Rig rig(image(QStringLiteral("next"), CdImageOptions{{{true, 75}, {true, 75}}, 0}));
    rig.command("Open");
    rig.command("Next");
    rig.command("Next");
    rig.command("Next");
    QCOMPARE(rig.control.position(), 1000);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
}

void TestCdAudio::errors_data()
{
    QTest::addColumn<CdImageOptions>("disc");
    QTest::addColumn<int>("error");
    QTest::newRow("data only") << CdImageOptions{{{false, 150}}, 0}
                               << int(MediaErrorCode::UnsupportedFormat);
    QTest::newRow("bin shorter than its cue sheet")
        << CdImageOptions{{{true, 75}, {true, 150}}, 200} << int(MediaErrorCode::CorruptMedia);
}

void TestCdAudio::errors()
{
    QFETCH(CdImageOptions, disc);
    QFETCH(int, error);
    Rig rig(image(QStringLiteral("bad"), disc));
    const double before = threadCpuMs();
    rig.command("Open");
    QCOMPARE(int(rig.control.error()), error);
    QVERIFY(!rig.control.errorMessage().isEmpty());
    QCOMPARE(rig.control.mode(), ControlMode::NoDevice);
    // Refused without retrying its way through the damage on the UI thread.
    QVERIFY(threadCpuMs() - before < 5000);

    // And the machine's own drive: there is none here, and the device says so.
    MediaControl real(MediaControlSettings::toPersisted(5927, 873, 1000, 0));
    real.setDeviceContext({[] { return std::make_unique<TestAudioSink>(); }, {}});
    real.put(MediaControl::kDeviceType, QStringLiteral("CDAudio"));
    real.put(MediaControl::kCommand, QStringLiteral("Open"));
    QVERIFY(real.error() > 0);
    QVERIFY(!real.errorMessage().isEmpty());
}

void TestCdAudio::ejectAndLoadNeverWaitOnTheDrive()
{
    Rig rig(image(QStringLiteral("eject"), CdImageOptions{{{true, 75}, {true, 75}}, 0}));
    rig.command("Open");
    // The playback gets stuck on the second track's first read, then the whole drive stops
    // answering: neither the tray nor the table of contents comes before release().
    rig.drive->holdReadsFrom(75);
    rig.command("Play");
    QTRY_COMPARE(rig.drive->waiting(), 1);
    rig.drive->hold();
    const double beforeEject = threadCpuMs();
    rig.command("Eject");
    rig.command("Load"); // what the window sends on EjectCompleted
    const double ejectCpu = threadCpuMs() - beforeEject;
    QCOMPARE(rig.control.error(), std::int16_t(MediaErrorCode::DeviceNotReady)); // tray open
    QCOMPARE(rig.control.mode(), ControlMode::TrayOpen);
    QCOMPARE(rig.drive->opened.load(), 0); // both came back before the drive did anything
    QVERIFY2(ejectCpu < kUiCpuBudgetMs, qPrintable(QString::number(ejectCpu)));
    rig.drive->release();
    QTRY_COMPARE(rig.ejected, QList<int>{0});
    QCOMPARE(rig.done, QList<int>{MediaControl::kNotifyAborted});
    rig.command("Load"); // the user is changing the disc: the tray stays open
    QCOMPARE(rig.control.error(), std::int16_t(MediaErrorCode::DeviceNotReady));
    QCOMPARE(rig.drive->closed.load(), 0);

    // Open closes the tray. Load, the tray closed, reads the disc again off the UI thread, and a
    // Play sent meanwhile plays once it has; an Eject meanwhile drops both.
    rig.command("Open");
    QCOMPARE(rig.drive->closed.load(), 1);
    for (const bool ejectFirst : {false, true}) {
        rig.drive->hold();
        const double beforeLoad = threadCpuMs();
        rig.command("Load");
        rig.command("Play");
        const double loadCpu = threadCpuMs() - beforeLoad;
        QCOMPARE(rig.control.error(), 0);
        QCOMPARE(rig.control.mode(), ControlMode::Playing);
        QVERIFY2(loadCpu < kUiCpuBudgetMs, qPrintable(QString::number(loadCpu)));
        if (ejectFirst)
            rig.command("Eject");
        rig.drive->release();
        QTRY_COMPARE(rig.done.size(), 2 + int(ejectFirst));
    }
    // The eject's answer comes after anything the dropped read could have answered.
    QTRY_COMPARE(rig.ejected, (QList<int>{0, 0}));
    QCOMPARE(rig.done, (QList<int>{MediaControl::kNotifyAborted, MediaControl::kNotifySuccessful,
                                   MediaControl::kNotifyAborted}));

    // Closed mid-eject, the device leaves the tray to its thread and goes at once.
    rig.command("Open");
    rig.drive->hold();
    rig.command("Eject");
    QTRY_COMPARE(rig.drive->waiting(), 1);
    rig.command("Close");
    QCOMPARE(rig.drive->waiting(), 1);
    rig.drive->release();
    QTRY_COMPARE(rig.drive->opened.load(), 3);
    QCoreApplication::processEvents();
    QCOMPARE(rig.ejected.size(), 2); // a closed device completes nothing
}

void TestCdAudio::openWaitsForTheDiscAndGivesUpOnASilentDrive()
{
    Rig rig(image(QStringLiteral("spin"), CdImageOptions{{{true, 75}}, 0}));
    rig.timing.spinUpPoll = std::chrono::milliseconds(1);
    QVERIFY(rig.drive->openTray().ok());
    rig.drive->spinUpAsks = 3;
    rig.command("Open"); // closes the tray, then asks until the disc has been recognised
    QCOMPARE(rig.control.error(), 0);
    QCOMPARE(rig.drive->tocReads.load(), 4);
    QCOMPARE(rig.control.length(), 1000);

    rig.drive->changeDisc({}); // an empty drive is not waited for
    rig.command("Open");
    QCOMPARE(rig.control.error(), std::int16_t(MediaErrorCode::DeviceNotReady));
    QCOMPARE(rig.drive->tocReads.load(), 5);

    // A drive that does not answer until it is released is given up on at the limit.
    rig.timing.openLimit = std::chrono::milliseconds(50);
    rig.drive->hold();
    rig.command("Open");
    QCOMPARE(rig.control.error(), std::int16_t(MediaErrorCode::DeviceNotReady));
    QCOMPARE(rig.control.mode(), ControlMode::NoDevice);
    rig.drive->release();
}

void TestCdAudio::discChangedByHandIsNoticedBeforePlay()
{
    Rig rig(image(QStringLiteral("first"), CdImageOptions{{{true, 75}, {true, 75}}, 0}));
    rig.command("Open");
    rig.drive->changeDisc(image(QStringLiteral("second"), CdImageOptions{{{true, 40}}, 0}));
    rig.command("Play");
    QTRY_COMPARE(rig.done, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.control.position(), 533);
    QCOMPARE(rig.sink->received().size(), std::size_t(40 * CdImageWriter::kFramesPerSector * 2));

    // The disc taken out: the next Play ends at once, and only Eject is left, which a drive that
    // has vanished cannot do either.
    rig.drive->changeDisc({});
    rig.command("Play");
    QTRY_COMPARE(rig.done.size(), 2);
    QCOMPARE(rig.done.last(), MediaControl::kNotifyFailure);
    QCOMPARE(rig.control.error(), std::int16_t(MediaErrorCode::DeviceNotReady));
    QCOMPARE(rig.control.mode(), ControlMode::TrayOpen);
    rig.drive->vanished = true;
    rig.command("Eject");
    QTRY_COMPARE(rig.ejected, QList<int>{int(MediaErrorCode::DeviceNotReady)});
}

QTEST_MAIN(TestCdAudio)
#include "tst_cdaudio.moc"
