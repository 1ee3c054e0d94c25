// Recording on the WaveAudio device: what a test input delivers goes into the open sound in
// memory at the position where the recording started, the sound's length grows by exactly the
// frames recorded, and playing the sound afterwards gives the original before and after the
// recording and the recorded frames in between, sample for sample. Also: Stop in the middle of
// a recording, pause and resume, a seek while recording, an input that fails, a sound whose
// output plays another format, and no Record without an input, through the device and through
// the media device control.

#include "media/devices/WaveAudioDevice.h"
#include "media/input/TestAudioCapture.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/TestAudioSink.h"
#include "support/ProcessFigures.h"
#include "support/ThreadCpuTime.h"
#include "support/WavWriter.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace zyr::media;
using zyr::test::WavEncoding;
using zyr::test::WavOptions;
using zyr::test::WavSignal;
using zyr::test::WavWriter;

Q_DECLARE_METATYPE(zyr::media::ControlMode)

namespace {

constexpr int kTimeoutMs = 10000;

// A WAVE file, a WaveAudio device on the test output and a test input, and what the input has
// delivered so far.
struct Rig {
    Rig(const WavOptions &wav, TestAudioCapture::Options capture, bool inputAvailable = true,
        std::optional<AudioFormat> outputFormat = std::nullopt)
        : wav(wav)
    {
        capture.counts = counts;
        path = dir.filePath(QStringLiteral("sound.wav"));
        if (!WavWriter::write(path, wav))
            qFatal("cannot write the test sound");
        device = std::make_unique<WaveAudioDevice>(
            [this, outputFormat] {
                TestAudioSink::Options options;
                if (outputFormat)
                    options.withForcedFormat(*outputFormat);
                auto made = std::make_unique<TestAudioSink>(options);
                sink = made.get();
                return made;
            },
            testAudioCaptureFactory(capture, inputAvailable));
    }

    bool open()
    {
        if (!device->open(path).ok())
            return false;
        QSignalSpy answered(device.get(), &MediaDevice::capabilitiesChanged);
        return answered.wait(kTimeoutMs);
    }

    // Plays the whole sound from the start and returns what the output received.
    std::vector<float> playAll()
    {
        QSignalSpy finished(device.get(), &MediaDevice::playbackFinished);
        device->seek(0);
        device->play();
        if (!finished.wait(kTimeoutMs))
            return {};
        return sink->received();
    }

    std::int64_t msOf(std::int64_t frames) const
    {
        return (frames * 1000 + wav.sampleRate / 2) / wav.sampleRate;
    }

    QTemporaryDir dir;
    WavOptions wav;
    QString path;
    std::shared_ptr<TestAudioCapture::Counts> counts = std::make_shared<TestAudioCapture::Counts>();
    TestAudioSink *sink = nullptr;
    std::unique_ptr<WaveAudioDevice> device;
};

WavOptions rampSound(int sampleRate, int channels, std::int64_t frames,
                     WavEncoding encoding = WavEncoding::Pcm16)
{
    WavOptions wav;
    wav.encoding = encoding;
    wav.signal = WavSignal::Ramp;
    wav.sampleRate = sampleRate;
    wav.channels = channels;
    wav.frames = frames;
    return wav;
}

// Compares what was played with the original sound with `recorded` frames of the test input
// inserted at `at`; names the first frame that differs.
void verifySpliced(const std::vector<float> &played, const WavOptions &wav, std::int64_t at,
                   std::int64_t recorded)
{
    const int channels = wav.channels;
    QCOMPARE(static_cast<std::int64_t>(played.size()), (wav.frames + recorded) * channels);
    for (std::int64_t f = 0; f < wav.frames + recorded; ++f) {
        for (int c = 0; c < channels; ++c) {
            double expected = 0;
            if (f < at)
                expected = WavWriter::sampleValue(wav, f, c);
            else if (f < at + recorded)
                expected = TestAudioCapture::sample(f - at, c);
            else
                expected = WavWriter::sampleValue(wav, f - recorded, c);
            const float got = played[static_cast<std::size_t>(f * channels + c)];
            if (std::abs(got - expected) > 1e-6)
                QFAIL(qPrintable(QStringLiteral("frame %1 channel %2: %3 instead of %4")
                                     .arg(f)
                                     .arg(c)
                                     .arg(got)
                                     .arg(expected)));
        }
    }
}

} // namespace

class TestWaveRecording : public QObject {
    Q_OBJECT

private slots:
    void insertsAtTheRecordingPosition_data();
    void insertsAtTheRecordingPosition();
    void stopInTheMiddleKeepsEverythingDelivered();
    void pauseHoldsAndRecordResumes();
    void seekWhileRecordingStartsAnotherRecordingThere();
    void convertsForAnOutputOfAnotherFormat();
    void keepsFloatSamplesOfAFloatSound();
    void failingInputEndsTheRecordingAndKeepsTheSound();
    void lateFailureOfAnEndedRecordingLeavesTheNextAlone();
    void noInputNoRecord();
    void controlModesButtonsAndDone();
    void anHourGrowsMemoryOnlyWithTheRecording();
};

void TestWaveRecording::insertsAtTheRecordingPosition_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<std::int64_t>("atMs");
    QTest::addColumn<std::int64_t>("recordFrames");
    // 8000 Hz: 8 frames a millisecond, so every position below is an exact frame.
    QTest::newRow("start, stereo") << 2 << std::int64_t(0) << std::int64_t(3001);
    QTest::newRow("middle, stereo") << 2 << std::int64_t(500) << std::int64_t(1234);
    QTest::newRow("middle, mono") << 1 << std::int64_t(250) << std::int64_t(7);
    QTest::newRow("end, stereo") << 2 << std::int64_t(1000) << std::int64_t(4000);
}

void TestWaveRecording::insertsAtTheRecordingPosition()
{
    QFETCH(int, channels);
    QFETCH(std::int64_t, atMs);
    QFETCH(std::int64_t, recordFrames);
    Rig rig(rampSound(8000, channels, 8000), {recordFrames, 50.0, false, {}});
    QVERIFY(rig.open());
    QVERIFY(rig.device->capabilities().canRecord);

    QVERIFY(rig.device->seek(atMs).ok());
    QVERIFY(rig.device->record().ok());
    QTRY_COMPARE_WITH_TIMEOUT(rig.counts->delivered.load(), recordFrames, kTimeoutMs);
    QTRY_COMPARE(rig.device->positionMs(), rig.msOf(atMs * 8 + recordFrames));
    QVERIFY(rig.device->stop().ok());
    QCOMPARE(rig.device->lengthMs(), rig.msOf(8000 + recordFrames));
    QCOMPARE(rig.device->positionMs(), rig.msOf(atMs * 8 + recordFrames));

    verifySpliced(rig.playAll(), rig.wav, atMs * 8, recordFrames);
    QCOMPARE(rig.device->positionMs(), rig.device->lengthMs());
}

void TestWaveRecording::stopInTheMiddleKeepsEverythingDelivered()
{
    // An input without a limit, as a microphone: Stop ends it wherever it stands.
    Rig rig(rampSound(8000, 2, 4000), {-1, 4.0, false, {}});
    QVERIFY(rig.open());
    QVERIFY(rig.device->seek(125).ok());
    QVERIFY(rig.device->record().ok());
    QTRY_VERIFY_WITH_TIMEOUT(rig.device->lengthMs() > 500 + 100, kTimeoutMs);
    QVERIFY(rig.device->stop().ok());
    const std::int64_t recorded = rig.counts->delivered.load();
    QVERIFY(recorded > 0);
    QCOMPARE(rig.device->lengthMs(), rig.msOf(4000 + recorded));
    // The input stopped with the recording.
    QTest::qWait(50);
    QCOMPARE(rig.counts->delivered.load(), recorded);
    verifySpliced(rig.playAll(), rig.wav, 1000, recorded);
}

void TestWaveRecording::pauseHoldsAndRecordResumes()
{
    Rig rig(rampSound(8000, 1, 800), {-1, 4.0, false, {}});
    QVERIFY(rig.open());
    QVERIFY(rig.device->record().ok());
    QTRY_VERIFY_WITH_TIMEOUT(rig.counts->delivered.load() > 800, kTimeoutMs);
    QVERIFY(rig.device->pause().ok());
    // Held: the input is held, the recorder takes what was due before that and nothing more
    // comes; the sound has grown by exactly what came.
    QTRY_VERIFY_WITH_TIMEOUT(rig.counts->heldAt.load() >= 0, kTimeoutMs);
    const std::int64_t held = rig.counts->heldAt.load();
    QTRY_COMPARE_WITH_TIMEOUT(rig.counts->delivered.load(), held, kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig.device->lengthMs(), rig.msOf(800 + held), kTimeoutMs);
    // Nothing more comes while held: a wait a slow machine can only make longer.
    QTest::qWait(60);
    QCOMPARE(rig.counts->delivered.load(), held);
    QCOMPARE(rig.counts->heldAt.load(), held);

    QVERIFY(rig.device->record().ok());
    QTRY_VERIFY_WITH_TIMEOUT(rig.counts->delivered.load() > held + 800, kTimeoutMs);
    QVERIFY(rig.device->stop().ok());
    const std::int64_t recorded = rig.counts->delivered.load();
    // One recording of everything delivered: the input's frames follow on without a gap.
    verifySpliced(rig.playAll(), rig.wav, 0, recorded);
}

void TestWaveRecording::seekWhileRecordingStartsAnotherRecordingThere()
{
    Rig rig(rampSound(8000, 2, 8000), {2000, 50.0, false, {}});
    QVERIFY(rig.open());
    QVERIFY(rig.device->seek(500).ok());
    QVERIFY(rig.device->record().ok());
    QTRY_COMPARE_WITH_TIMEOUT(rig.counts->delivered.load(), std::int64_t(2000), kTimeoutMs);
    QTRY_COMPARE(rig.device->lengthMs(), rig.msOf(10000));
    // The first recording goes in at 4000; the next starts at the sound's start.
    QVERIFY(rig.device->seek(0).ok());
    QVERIFY(rig.device->positionMs() < 250);
    QTRY_COMPARE_WITH_TIMEOUT(rig.device->lengthMs(), rig.msOf(12000), kTimeoutMs);
    QVERIFY(rig.device->stop().ok());
    QCOMPARE(rig.device->lengthMs(), rig.msOf(12000));

    const std::vector<float> played = rig.playAll();
    QCOMPARE(played.size(), std::size_t(12000 * 2));
    for (std::int64_t f : {std::int64_t(0), std::int64_t(1999)})
        QCOMPARE(played[std::size_t(f * 2)], TestAudioCapture::sample(f, 0));
    // Then the original up to 4000, then the first recording, then the rest of the original.
    QCOMPARE(played[std::size_t(2000 * 2)], float(WavWriter::sampleValue(rig.wav, 0, 0)));
    QCOMPARE(played[std::size_t(5999 * 2)], float(WavWriter::sampleValue(rig.wav, 3999, 0)));
    QCOMPARE(played[std::size_t(6000 * 2)], TestAudioCapture::sample(0, 0));
    QCOMPARE(played[std::size_t(7999 * 2 + 1)], TestAudioCapture::sample(1999, 1));
    QCOMPARE(played[std::size_t(8000 * 2)], float(WavWriter::sampleValue(rig.wav, 4000, 0)));
}

void TestWaveRecording::convertsForAnOutputOfAnotherFormat()
{
    // A mono 22050 Hz sound on an output that plays 48000 Hz stereo: the recording is kept at
    // 22050 Hz mono and converted with the rest on the way out.
    const AudioFormat output{48000, 2};
    Rig rig(rampSound(22050, 1, 22050), {11025, 50.0, false, {}}, true, output);
    QVERIFY(rig.open());
    QVERIFY(rig.device->seek(500).ok());
    QVERIFY(rig.device->record().ok());
    QTRY_COMPARE_WITH_TIMEOUT(rig.counts->delivered.load(), std::int64_t(11025), kTimeoutMs);
    QVERIFY(rig.device->stop().ok());
    QCOMPARE(rig.device->lengthMs(), 1500);
    const std::vector<float> played = rig.playAll();
    const double seconds = double(played.size()) / 2 / output.sampleRate;
    QVERIFY2(std::abs(seconds - 1.5) < 0.005, qPrintable(QString::number(seconds)));
    // The middle of the recording, at the output's rate: the input's signal on both channels.
    const auto frame = std::size_t(0.5 * output.sampleRate + 0.25 * output.sampleRate);
    const double expected = TestAudioCapture::sample(std::int64_t(0.25 * 22050), 0);
    QVERIFY(std::abs(played[frame * 2] - expected) < 0.02);
    QCOMPARE(played[frame * 2], played[frame * 2 + 1]);
}

void TestWaveRecording::keepsFloatSamplesOfAFloatSound()
{
    // A float sound keeps float samples: the input's values come back unchanged (they would too
    // in 16 bits; what this catches is a float sound recorded at the wrong size or place).
    Rig rig(rampSound(8000, 2, 800, WavEncoding::Float32), {333, 50.0, false, {}});
    QVERIFY(rig.open());
    QVERIFY(rig.device->seek(50).ok());
    QVERIFY(rig.device->record().ok());
    QTRY_COMPARE_WITH_TIMEOUT(rig.counts->delivered.load(), std::int64_t(333), kTimeoutMs);
    QVERIFY(rig.device->stop().ok());
    verifySpliced(rig.playAll(), rig.wav, 400, 333);
}

void TestWaveRecording::failingInputEndsTheRecordingAndKeepsTheSound()
{
    Rig rig(rampSound(8000, 2, 800), {-1, 1.0, true, {}});
    QVERIFY(rig.open());
    QSignalSpy failed(rig.device.get(), &MediaDevice::playbackFailed);
    QVERIFY(rig.device->record().ok());
    QVERIFY(failed.wait(kTimeoutMs));
    const auto error = failed.at(0).at(0).value<MediaError>();
    QCOMPARE(error.kind, ErrorKind::DeviceUnavailable);
    QVERIFY(!error.message.isEmpty());
    QCOMPARE(rig.device->lengthMs(), 100);
    verifySpliced(rig.playAll(), rig.wav, 0, 0);
}

void TestWaveRecording::lateFailureOfAnEndedRecordingLeavesTheNextAlone()
{
    // The first input fails to open; its failure is on its way to the UI thread when the user
    // stops and records again, on an input that works. The old failure must not end the new
    // recording.
    WavOptions wav = rampSound(8000, 1, 800);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(WavWriter::write(path, wav));
    auto made = std::make_shared<int>(0);
    AudioCaptureFactory captures{[] { return true; },
                                 [made] {
                                     TestAudioCapture::Options options;
                                     options.failToOpen = (*made)++ == 0;
                                     return std::make_unique<TestAudioCapture>(options);
                                 }};
    WaveAudioDevice device([] { return std::make_unique<TestAudioSink>(); }, captures);
    QVERIFY(device.open(path).ok());
    QSignalSpy answered(&device, &MediaDevice::capabilitiesChanged);
    QVERIFY(answered.wait(kTimeoutMs));
    QSignalSpy failed(&device, &MediaDevice::playbackFailed);

    QVERIFY(device.record().ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the failure is posted
    QVERIFY(device.stop().ok());
    QVERIFY(device.record().ok());
    QTRY_VERIFY_WITH_TIMEOUT(device.lengthMs() > 100 + 200, kTimeoutMs);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(*made, 2);
    QVERIFY(device.stop().ok());
}

void TestWaveRecording::noInputNoRecord()
{
    Rig rig(rampSound(8000, 2, 800), {}, false);
    QVERIFY(rig.open());
    QVERIFY(!rig.device->capabilities().canRecord);
    const Result<void> refused = rig.device->record();
    QVERIFY(!refused.ok());
    QCOMPARE(refused.error().kind, ErrorKind::DeviceUnavailable);

    // Through the control: the button stays disabled and the command sets Error.
    MediaControl control(MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF));
    control.setDeviceContext({[] { return std::make_unique<TestAudioSink>(); },
                              {},
                              {},
                              testAudioCaptureFactory({}, false)});
    control.put(MediaControl::kDeviceType, DispatchValue(QStringLiteral("WaveAudio")));
    control.put(MediaControl::kFileName, DispatchValue(rig.path));
    QCOMPARE(control.execute(QStringLiteral("Open")), MediaErrorCode::None);
    QTest::qWait(50);
    QVERIFY(!control.button(MediaButton::Record)->isEnabled());
    QVERIFY(control.execute(QStringLiteral("Record")) != MediaErrorCode::None);
    QVERIFY(control.error() > 0);
    QVERIFY(!control.errorMessage().isEmpty());
    QCOMPARE(control.mode(), ControlMode::Stopped);

    // A context without any input at all: the same.
    MediaControl bare(MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF));
    bare.setDeviceContext({[] { return std::make_unique<TestAudioSink>(); }, {}});
    bare.put(MediaControl::kDeviceType, DispatchValue(QStringLiteral("WaveAudio")));
    bare.put(MediaControl::kFileName, DispatchValue(rig.path));
    QCOMPARE(bare.execute(QStringLiteral("Open")), MediaErrorCode::None);
    QVERIFY(!bare.button(MediaButton::Record)->isEnabled());
    QVERIFY(bare.execute(QStringLiteral("Record")) != MediaErrorCode::None);
}

void TestWaveRecording::controlModesButtonsAndDone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sound.wav"));
    const WavOptions wav = rampSound(8000, 2, 8000);
    QVERIFY(WavWriter::write(path, wav));
    MediaControl control(MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF));
    control.setDeviceContext({[] { return std::make_unique<TestAudioSink>(); },
                              {},
                              {},
                              testAudioCaptureFactory({-1, 2.0, false, {}})});
    control.put(MediaControl::kDeviceType, DispatchValue(QStringLiteral("WaveAudio")));
    control.put(MediaControl::kFileName, DispatchValue(path));
    QSignalSpy done(&control, &MediaControl::done);
    QCOMPARE(control.execute(QStringLiteral("Open")), MediaErrorCode::None);
    QTRY_VERIFY(control.button(MediaButton::Record)->isEnabled());

    // Pressing Record: recording, with Play and Record disabled and Stop and Pause enabled.
    control.button(MediaButton::Record)->click();
    QCOMPARE(control.mode(), ControlMode::Recording);
    QVERIFY(!control.button(MediaButton::Record)->isEnabled());
    QVERIFY(!control.button(MediaButton::Play)->isEnabled());
    QVERIFY(control.button(MediaButton::Stop)->isEnabled());
    QVERIFY(control.button(MediaButton::Pause)->isEnabled());
    QTRY_VERIFY(control.length() > 1100);
    // Recording from the start: the whole sound lies after the position.
    QVERIFY(qAbs(control.length() - control.position() - 1000) <= 1);

    // Pause holds it, Pause again resumes it: one recording, no Done.
    control.button(MediaButton::Pause)->click();
    QCOMPARE(control.mode(), ControlMode::Paused);
    QVERIFY(control.button(MediaButton::Record)->isEnabled());
    control.button(MediaButton::Pause)->click();
    QCOMPARE(control.mode(), ControlMode::Recording);
    QTest::qWait(20);
    QCOMPARE(done.count(), 0);

    // Stop ends it with Done 4; the sound is longer.
    const std::int32_t before = control.length();
    control.button(MediaButton::Stop)->click();
    QCOMPARE(control.mode(), ControlMode::Stopped);
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toInt(), MediaControl::kNotifyAborted);
    QVERIFY(control.length() >= before);

    // Record, then Play: the recording is superseded (Done 2) and the sound plays on from where
    // the recording ended, to its end (Done 1).
    QCOMPARE(control.execute(QStringLiteral("Record")), MediaErrorCode::None);
    QTRY_VERIFY(control.length() > before + 100);
    QCOMPARE(control.execute(QStringLiteral("Play")), MediaErrorCode::None);
    QCOMPARE(control.mode(), ControlMode::Playing);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 3, kTimeoutMs);
    QCOMPARE(done.at(1).at(0).toInt(), MediaControl::kNotifySuperseded);
    QCOMPARE(done.at(2).at(0).toInt(), MediaControl::kNotifySuccessful);
    QCOMPARE(control.position(), control.length());

    // Another file drops the recordings: the length is the file's again.
    QCOMPARE(control.execute(QStringLiteral("Open")), MediaErrorCode::None);
    QCOMPARE(control.length(), 1000);
}

void TestWaveRecording::anHourGrowsMemoryOnlyWithTheRecording()
{
    // An hour of 8 kHz mono 16-bit input, delivered 900 times faster than real time: the UI
    // thread does none of the recording's work, and the memory taken is that of an hour of
    // samples.
    constexpr std::int64_t kHour = 8000LL * 3600;
    Rig rig(rampSound(8000, 1, 800), {kHour, 900.0, false, {}});
    QVERIFY(rig.open());
    const qint64 residentBefore = zyr::test::residentBytes();
    QVERIFY(residentBefore > 0);
    QVERIFY(rig.device->record().ok());

    // The UI thread's own CPU time between two ticks: copying or converting the recording there
    // would take seconds of it at a stretch, and a loaded machine does not add to it.
    double longestBusyMs = 0;
    double last = zyr::test::threadCpuMs();
    QTimer tick;
    tick.setInterval(5);
    connect(&tick, &QTimer::timeout, [&] {
        const double now = zyr::test::threadCpuMs();
        longestBusyMs = std::max(longestBusyMs, now - last);
        last = now;
    });
    tick.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.counts->delivered.load(), kHour, 60000);
    tick.stop();
    QVERIFY2(longestBusyMs < 250, qPrintable(QString::number(longestBusyMs)));
    // 16-bit samples: 57.6 MB. Allowed on top: a quarter for the allocator and the sanitizers'
    // shadow memory, and 16 MB for everything else the process did meanwhile.
    const qint64 samples = kHour * 2;
    const qint64 grown = zyr::test::residentBytes() - residentBefore;
    QVERIFY2(
        grown < samples + samples / 4 + 16 * 1024 * 1024,
        qPrintable(
            QStringLiteral("grew by %1 bytes for %2 bytes of samples").arg(grown).arg(samples)));
    QVERIFY(rig.device->stop().ok());
    QCOMPARE(rig.device->lengthMs(), 3600 * 1000 + 100);
}

QTEST_MAIN(TestWaveRecording)
#include "tst_waverecording.moc"
