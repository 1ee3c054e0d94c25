// Faults that strike while something plays, driven through the media device control as the
// players drive it, each ending in a defined state (playing on, or a stop with Done and, for a
// failure, a positive Error with a message) without the UI thread ever waiting on the device:
// a sound file deleted, replaced or cut short under the player; the audio output lost and
// coming back; a disc whose tray opens or whose image is cut short in mid-play; a 4 GB sound
// opened without reading it. Every command the test gives is measured by the UI thread's own
// CPU time, which a loaded machine does not inflate: none may spend more than 50 ms of it.

#include "media/devices/CdAudioDevice.h"
#include "media/devices/LibcdioDrive.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/FallbackAudioSink.h"
#include "media/output/ForwardingAudioSink.h"
#include "media/output/SilentAudioSink.h"
#include "media/output/TestAudioSink.h"
#include "support/CdImageWriter.h"
#include "support/ProcessFigures.h"
#include "support/ThreadCpuTime.h"
#include "support/WavWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace zyr::media;
using namespace std::chrono_literals;
using zyr::test::CdImageOptions;
using zyr::test::CdImageWriter;
using zyr::test::WavOptions;
using zyr::test::WavWriter;

namespace {

// Most CPU time one command may take on the UI thread.
constexpr double kUiBudgetMs = 50;
constexpr int kTimeoutMs = 15000;

// The silent real-time output, counting the frames it accepts.
class CountingSink final : public ForwardingAudioSink {
public:
    explicit CountingSink(std::shared_ptr<std::atomic<std::int64_t>> accepted)
        : ForwardingAudioSink(std::make_unique<SilentAudioSink>()), m_accepted(std::move(accepted))
    {
    }
    std::size_t write(const float *frames, std::size_t n) override
    {
        const std::size_t took = ForwardingAudioSink::write(frames, n);
        *m_accepted += static_cast<std::int64_t>(took);
        return took;
    }

private:
    std::shared_ptr<std::atomic<std::int64_t>> m_accepted;
};

// A control on a real-time silent output (so that a sound takes its time to play), with the
// Done codes it raised, the frames its outputs accepted and the most CPU time one of the
// test's commands took on the UI thread.
struct Rig {
    MediaControl control{MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF)};
    QList<int> done;
    std::shared_ptr<std::atomic<std::int64_t>> framesAccepted =
        std::make_shared<std::atomic<std::int64_t>>(0);
    double slowestCommandMs = 0;

    // With no context given, the counting silent output.
    explicit Rig(DeviceContext context = {})
    {
        if (!context.sinks && !context.makeDevice)
            context.sinks = [accepted = framesAccepted] {
                return std::make_unique<CountingSink>(accepted);
            };
        control.setDeviceContext(std::move(context));
        QObject::connect(&control, &MediaControl::done, &control, [this](int c) { done << c; });
    }

    MediaErrorCode command(const QString &what)
    {
        const double before = zyr::test::threadCpuMs();
        const MediaErrorCode code = control.execute(what);
        slowestCommandMs = std::max(slowestCommandMs, zyr::test::threadCpuMs() - before);
        return code;
    }

    bool open(const QString &type, const QString &file)
    {
        control.put(MediaControl::kDeviceType, DispatchValue(type));
        control.put(MediaControl::kFileName, DispatchValue(file));
        return command(QStringLiteral("Open")) == MediaErrorCode::None;
    }

    // Plays until the position passes `ms`.
    bool playPast(std::int32_t ms)
    {
        if (command(QStringLiteral("Play")) != MediaErrorCode::None)
            return false;
        return QTest::qWaitFor([&] { return control.position() > ms; }, kTimeoutMs);
    }

    bool waitForDone()
    {
        return QTest::qWaitFor([&] { return !done.isEmpty(); }, kTimeoutMs);
    }
};

QString writeWav(const QTemporaryDir &dir, const QString &name, std::int64_t frames,
                 int sampleRate = 8000, int channels = 1)
{
    WavOptions wav;
    wav.sampleRate = sampleRate;
    wav.channels = channels;
    wav.frames = frames;
    const QString path = dir.filePath(name);
    if (!WavWriter::write(path, wav))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace

class TestPlaybackFaults : public QObject {
    Q_OBJECT
private slots:
    void soundFileDeletedOrReplacedPlaysOn_data();
    void soundFileDeletedOrReplacedPlaysOn();
    void soundFileCutShortStopsWithDone();
    void lostOutputPlaysOnAndSoundComesBack();
    void trayOpenedInMidPlayStopsWithAnError();
    void discImageCutShortStopsWithAnError();
    void hugeSparseSoundOpensWithoutBeingRead();
};

void TestPlaybackFaults::soundFileDeletedOrReplacedPlaysOn_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("deleted") << false;
    QTest::newRow("replaced by another sound") << true;
}

void TestPlaybackFaults::soundFileDeletedOrReplacedPlaysOn()
{
    // The open file stays what it was when it was opened: the sound plays on to its end.
    QFETCH(bool, replace);
    QTemporaryDir dir;
    const QString path = writeWav(dir, QStringLiteral("sound.wav"), 8000 * 3 / 2);
    Rig rig;
    QVERIFY(rig.open(QStringLiteral("WaveAudio"), path));
    QVERIFY(rig.playPast(200));
    QVERIFY(QFile::remove(path));
    if (replace)
        QVERIFY(QFile::rename(writeWav(dir, QStringLiteral("other.wav"), 80), path));
    QVERIFY(rig.waitForDone());
    QCOMPARE(rig.done, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.control.position(), 1500);
    QCOMPARE(rig.control.length(), 1500);
    QVERIFY2(rig.slowestCommandMs <= kUiBudgetMs,
             qPrintable(QString::number(rig.slowestCommandMs)));
}

void TestPlaybackFaults::soundFileCutShortStopsWithDone()
{
    // 20 seconds of CD-quality sound (3.5 MB, far more than is read ahead) cut to its first
    // second while that plays: the playback ends early with Done, having played little more
    // than that second, and the control is ready for the next command.
    QTemporaryDir dir;
    const QString path = writeWav(dir, QStringLiteral("sound.wav"), 44100 * 20, 44100, 2);
    Rig rig;
    QVERIFY(rig.open(QStringLiteral("WaveAudio"), path));
    QVERIFY(rig.playPast(100));
    QVERIFY(QFile::resize(path, 44 + 44100 * 4));
    QVERIFY(rig.waitForDone());
    QVERIFY2(*rig.framesAccepted < 44100 * 2, qPrintable(QString::number(*rig.framesAccepted)));
    QCOMPARE(rig.done.size(), 1);
    QVERIFY(rig.done.front() == MediaControl::kNotifySuccessful ||
            rig.done.front() == MediaControl::kNotifyFailure);
    if (rig.done.front() == MediaControl::kNotifyFailure) {
        QVERIFY(rig.control.error() > 0);
        QVERIFY(!rig.control.errorMessage().isEmpty());
    }
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QCOMPARE(rig.command(QStringLiteral("Prev")), MediaErrorCode::None);
    QCOMPARE(rig.command(QStringLiteral("Stop")), MediaErrorCode::None);
    QVERIFY2(rig.slowestCommandMs <= kUiBudgetMs,
             qPrintable(QString::number(rig.slowestCommandMs)));
}

void TestPlaybackFaults::lostOutputPlaysOnAndSoundComesBack()
{
    // The output goes away in mid-sound: the playback goes on against the lost output's clock,
    // and once an output can be opened again the rest of the sound is heard there.
    QTemporaryDir dir;
    const QString path = writeWav(dir, QStringLiteral("sound.wav"), 8000 * 2);
    std::vector<std::shared_ptr<TestAudioSink>> outputs;
    std::mutex outputsMutex;
    // A test output that plays at real time: the silent clock's pace, with what it received.
    const AudioSinkFactory device = [&]() -> std::unique_ptr<AudioSink> {
        auto sink = std::make_shared<TestAudioSink>();
        {
            const std::lock_guard lock(outputsMutex);
            outputs.push_back(sink);
        }
        // The fallback owns what it opens; the test keeps a second reference to look at it.
        // The silent real-time output sets the pace; what it accepts is heard by the test's.
        struct Heard final : ForwardingAudioSink {
            std::shared_ptr<TestAudioSink> heard;
            explicit Heard(std::shared_ptr<TestAudioSink> sink)
                : ForwardingAudioSink(std::make_unique<SilentAudioSink>()), heard(std::move(sink))
            {
            }
            Result<AudioFormat> open(AudioFormat f) override
            {
                ForwardingAudioSink::open(f);
                return heard->open(f);
            }
            std::size_t write(const float *frames, std::size_t n) override
            {
                return heard->write(frames, ForwardingAudioSink::write(frames, n));
            }
            void setPaused(bool p) override
            {
                ForwardingAudioSink::setPaused(p);
                heard->setPaused(p);
            }
            void flush() override
            {
                ForwardingAudioSink::flush();
                heard->flush();
            }
            void close() override
            {
                ForwardingAudioSink::close();
                heard->close();
            }
            bool lost() const override { return heard->lost(); }
        };
        return std::make_unique<Heard>(sink);
    };
    Rig rig({[device] {
                 return std::make_unique<FallbackAudioSink>(std::vector<AudioSinkFactory>{device},
                                                            100ms);
             },
             {}});
    QVERIFY(rig.open(QStringLiteral("WaveAudio"), path));
    QVERIFY(rig.playPast(300));
    {
        const std::lock_guard lock(outputsMutex);
        QCOMPARE(outputs.size(), std::size_t(1));
        outputs.front()->setLost(true);
    }
    QVERIFY(rig.waitForDone());
    QCOMPARE(rig.done, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.control.position(), 2000);
    const std::lock_guard lock(outputsMutex);
    QCOMPARE(outputs.size(), std::size_t(2));
    // The second output played the end of the sound, sample for sample up to its last frame.
    const std::vector<float> heard = outputs.back()->received();
    QVERIFY2(heard.size() > 8000, qPrintable(QString::number(heard.size())));
    WavOptions wav;
    wav.sampleRate = 8000;
    wav.channels = 1;
    wav.frames = 8000 * 2;
    const auto from = wav.frames - static_cast<std::int64_t>(heard.size());
    for (std::size_t i = 0; i < heard.size(); ++i)
        QCOMPARE(heard[i], float(WavWriter::sampleValue(wav, from + std::int64_t(i), 0)));
}

void TestPlaybackFaults::trayOpenedInMidPlayStopsWithAnError()
{
    QTemporaryDir dir;
    CdImageOptions image;
    image.tracks = {{true, 75 * 4}, {true, 75 * 4}};
    const auto written = CdImageWriter::write(dir.filePath(QStringLiteral("disc.cue")), image);
    QVERIFY(written);
    auto drive = std::make_shared<LibcdioDrive>(written->cuePath);
    DeviceContext context;
    context.makeDevice = [drive](const QString &) -> std::unique_ptr<MediaDevice> {
        return std::make_unique<CdAudioDevice>([] { return std::make_unique<SilentAudioSink>(); },
                                               [drive](const QString &) { return drive; });
    };
    Rig rig(std::move(context));
    QVERIFY(rig.open(QStringLiteral("CDAudio"), QString()));
    QVERIFY(rig.playPast(300));
    // The tray opens from outside (its own button), on a thread of its own as a drive would.
    std::thread([drive] { drive->openTray(); }).join();
    QVERIFY(rig.waitForDone());
    QCOMPARE(rig.done, QList<int>{MediaControl::kNotifyFailure});
    QVERIFY(rig.control.error() > 0);
    QVERIFY(!rig.control.errorMessage().isEmpty());
    QVERIFY(rig.control.position() < 8000);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QVERIFY2(rig.slowestCommandMs <= kUiBudgetMs,
             qPrintable(QString::number(rig.slowestCommandMs)));
}

void TestPlaybackFaults::discImageCutShortStopsWithAnError()
{
    QTemporaryDir dir;
    CdImageOptions image;
    image.tracks = {{true, 75 * 4}};
    const auto written = CdImageWriter::write(dir.filePath(QStringLiteral("disc.cue")), image);
    QVERIFY(written);
    Rig rig({[] { return std::make_unique<SilentAudioSink>(); }, {}});
    rig.control.setDeviceContext(
        {{}, [cue = written->cuePath](const QString &) -> std::unique_ptr<MediaDevice> {
             return std::make_unique<CdAudioDevice>(
                 [] { return std::make_unique<SilentAudioSink>(); },
                 [cue](const QString &) { return std::make_shared<LibcdioDrive>(cue); });
         }});
    QVERIFY(rig.open(QStringLiteral("CDAudio"), QString()));
    QVERIFY(rig.playPast(200));
    QVERIFY(QFile::resize(written->binPath, CdImageWriter::kBytesPerSector * 75));
    QVERIFY(rig.waitForDone());
    QCOMPARE(rig.done.size(), 1);
    QVERIFY(rig.done.front() == MediaControl::kNotifyFailure ||
            rig.done.front() == MediaControl::kNotifySuccessful);
    if (rig.done.front() == MediaControl::kNotifyFailure)
        QVERIFY(!rig.control.errorMessage().isEmpty());
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QVERIFY2(rig.slowestCommandMs <= kUiBudgetMs,
             qPrintable(QString::number(rig.slowestCommandMs)));
}

void TestPlaybackFaults::hugeSparseSoundOpensWithoutBeingRead()
{
    QTemporaryDir dir;
    WavOptions wav;
    wav.sampleRate = 48000;
    wav.channels = 2;
    wav.encoding = zyr::test::WavEncoding::Pcm16;
    wav.frames = (std::int64_t(4) << 30) / 4 - 48000; // just under 4 GB of data
    wav.sparseData = true;
    const QString path = dir.filePath(QStringLiteral("huge.wav"));
    if (!WavWriter::write(path, wav))
        QSKIP("cannot create a 4 GB sparse file here");
    Rig rig({[] { return std::make_unique<TestAudioSink>(); }, {}});
    const qint64 before = zyr::test::bytesReadByProcess();
    QVERIFY(rig.open(QStringLiteral("WaveAudio"), path));
    QCOMPARE(rig.control.length(), std::int32_t((wav.frames * 1000 + 24000) / 48000));
    const qint64 read = zyr::test::bytesReadByProcess() - before;
    QVERIFY2(read < 16 * 1024 * 1024, qPrintable(QString::number(read)));
    QVERIFY2(rig.slowestCommandMs <= kUiBudgetMs,
             qPrintable(QString::number(rig.slowestCommandMs)));
}

QTEST_MAIN(TestPlaybackFaults)
#include "tst_playbackfaults.moc"
