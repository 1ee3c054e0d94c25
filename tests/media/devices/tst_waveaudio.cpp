// The WaveAudio device end to end, driven through the media device control as a player window
// drives it: sound files in every common encoding open with their exact length and play to the
// end through the test output, sample for sample; Stop, Prev and Pause in mid-sound; the files
// Open must refuse; lengths beyond 16 bits through the dispatch interface; a new file opened
// over one that is playing.
//
// The test output plays as fast as the device decodes. To catch the sound in the middle, a test
// puts a gate in front of it that lets through only the frames the test allows: the sound then
// stands at an exact frame for as long as the test likes, whatever the device does meanwhile.

#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/ForwardingAudioSink.h"
#include "media/output/TestAudioSink.h"
#include "support/WavWriter.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace zyr::media;
using zyr::test::WavEncoding;
using zyr::test::WavOptions;
using zyr::test::WavSignal;
using zyr::test::WavWriter;

Q_DECLARE_METATYPE(WavOptions)
Q_DECLARE_METATYPE(zyr::media::ControlMode)

namespace {

// Generous: a sanitizer build decodes a minute of sound in well under a second.
constexpr int kPlayTimeoutMs = 10000;

// Decides how many frames reach a test output: all of them while open, otherwise only those
// the test has allowed so far. Any thread.
class Gate {
public:
    void hold() { set(0); }
    void open() { set(std::nullopt); }
    void allow(std::int64_t frames)
    {
        const std::lock_guard lock(m_mutex);
        m_allowance = m_allowance.value_or(0) + frames;
    }

    // Takes up to `wanted` frames out of the allowance.
    std::size_t take(std::size_t wanted)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_allowance)
            return wanted;
        const auto taken = std::min<std::size_t>(wanted, std::size_t(*m_allowance));
        *m_allowance -= std::int64_t(taken);
        return taken;
    }
    // Returns frames taken but not written.
    void giveBack(std::size_t frames)
    {
        const std::lock_guard lock(m_mutex);
        if (m_allowance)
            *m_allowance += std::int64_t(frames);
    }

private:
    void set(std::optional<std::int64_t> allowance)
    {
        const std::lock_guard lock(m_mutex);
        m_allowance = allowance;
    }

    std::mutex m_mutex;
    std::optional<std::int64_t> m_allowance; // none: open
};

// A TestAudioSink behind a gate, when given one, and slow to start, when given a start time, as a
// sound card that takes a moment to open.
class ControlledSink final : public ForwardingAudioSink {
public:
    ControlledSink(std::unique_ptr<TestAudioSink> inner, std::shared_ptr<Gate> gate,
                   std::chrono::milliseconds startTime)
        : ForwardingAudioSink(std::move(inner)), m_gate(std::move(gate)), m_startTime(startTime)
    {
    }

    Result<AudioFormat> open(AudioFormat requested) override
    {
        std::this_thread::sleep_for(m_startTime);
        return ForwardingAudioSink::open(requested);
    }
    std::size_t write(const float *frames, std::size_t frameCount) override
    {
        if (!m_gate)
            return ForwardingAudioSink::write(frames, frameCount);
        const std::size_t allowed = m_gate->take(frameCount);
        const std::size_t written = allowed > 0 ? ForwardingAudioSink::write(frames, allowed) : 0;
        m_gate->giveBack(allowed - written);
        return written;
    }

private:
    std::shared_ptr<Gate> m_gate;
    std::chrono::milliseconds m_startTime;
};

// A media device control on the WaveAudio device whose sound goes to test outputs.
struct Rig {
    MediaControl control{MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF)};
    TestAudioSink::Options sinkOptions;
    std::shared_ptr<Gate> gate; // when set, outputs opened from now on sit behind it
    std::chrono::milliseconds sinkStartTime{0};
    TestAudioSink *sink = nullptr; // the output of the device opened last; owned by that device
    int sinksMade = 0;
    QList<int> doneCodes;
    QList<std::int32_t> positionAtDone; // Position as a Done handler reads it

    Rig()
    {
        control.setDeviceContext({[this]() -> std::unique_ptr<AudioSink> {
                                      auto made = std::make_unique<TestAudioSink>(sinkOptions);
                                      sink = made.get();
                                      ++sinksMade;
                                      if (!gate && sinkStartTime.count() == 0)
                                          return made;
                                      return std::make_unique<ControlledSink>(std::move(made), gate,
                                                                              sinkStartTime);
                                  },
                                  {}});
        QObject::connect(&control, &MediaControl::done, &control, [this](int code) {
            doneCodes << code;
            positionAtDone << position();
        });
        control.put(MediaControl::kDeviceType, QStringLiteral("WaveAudio"));
    }

    void command(const char *c) { control.put(MediaControl::kCommand, QString::fromLatin1(c)); }
    void open(const QString &file)
    {
        control.put(MediaControl::kFileName, file);
        command("Open");
    }
    std::int16_t error() { return std::get<std::int16_t>(control.get(MediaControl::kError)); }
    std::int32_t length() { return std::get<std::int32_t>(control.get(MediaControl::kLength)); }
    std::int32_t position() { return std::get<std::int32_t>(control.get(MediaControl::kPosition)); }
    // Frames the output holds before it must play some: its buffer while paused.
    std::int64_t bufferFrames() const { return sink->format().framesIn(kSinkBufferDuration); }
    // Frames the output has played so far, counted from what it recorded.
    std::int64_t framesHeard() const
    {
        return std::int64_t(sink->received().size()) / sink->format().channels;
    }
};

WavOptions wav(WavEncoding encoding, int rate, int channels, std::int64_t frames)
{
    WavOptions options;
    options.encoding = encoding;
    options.sampleRate = rate;
    options.channels = channels;
    options.frames = frames;
    return options;
}

WavOptions extensible(WavOptions options)
{
    options.extensible = true;
    return options;
}

WavOptions withChunksAround(WavOptions options)
{
    options.chunksBeforeData = true;
    options.chunksAfterData = true;
    return options;
}

WavOptions sine(WavOptions options)
{
    options.signal = WavSignal::Sine;
    return options;
}

// A minute of 16-bit mono at 8 kHz: long enough that nothing below races it to its end, cheap
// to write and to decode.
WavOptions aMinute()
{
    return wav(WavEncoding::Pcm16, 8000, 1, 480000);
}

// Compares what the output played from frame `from` of `heard` (in the file's own format) with
// the written signal from source frame `firstFrame` on; says where the first difference is, or
// nothing when the two agree.
QString firstMismatch(const std::vector<float> &heard, std::int64_t from, const WavOptions &options,
                      std::int64_t firstFrame)
{
    const double tolerance = WavWriter::tolerance(options.encoding);
    const std::int64_t settling = WavWriter::settlingFrames(options.encoding);
    const std::int64_t frames = std::int64_t(heard.size()) / options.channels - from;
    for (std::int64_t f = std::max<std::int64_t>(settling - firstFrame, 0); f < frames; ++f) {
        for (int c = 0; c < options.channels; ++c) {
            const double expected = WavWriter::sampleValue(options, firstFrame + f, c);
            const double actual = heard[std::size_t((from + f) * options.channels + c)];
            if (std::abs(actual - expected) > tolerance) {
                return QStringLiteral("source frame %1 channel %2: heard %3, written %4")
                    .arg(firstFrame + f)
                    .arg(c)
                    .arg(actual, 0, 'g', 9)
                    .arg(expected, 0, 'g', 9);
            }
        }
    }
    return {};
}

// The same for a sine played through an output of another rate (and, from a mono file, any
// channel count): output frame k must carry the sine at time k / output rate. The first and last
// few frames are left out, where the resampler's filter runs over the edges of the sound.
QString firstMismatchResampled(const std::vector<float> &heard, AudioFormat output,
                               const WavOptions &options, double tolerance)
{
    constexpr std::int64_t kEdge = 64;
    WavOptions atOutputRate = options;
    atOutputRate.sampleRate = output.sampleRate;
    const std::int64_t frames = std::int64_t(heard.size()) / output.channels;
    for (std::int64_t k = kEdge; k < frames - kEdge; ++k) {
        for (int c = 0; c < output.channels; ++c) {
            const int sourceChannel = options.channels == 1 ? 0 : c;
            const double expected = WavWriter::sampleValue(atOutputRate, k, sourceChannel);
            const double actual = heard[std::size_t(k * output.channels + c)];
            if (std::abs(actual - expected) > tolerance) {
                return QStringLiteral("output frame %1 channel %2: heard %3, expected %4")
                    .arg(k)
                    .arg(c)
                    .arg(actual, 0, 'g', 9)
                    .arg(expected, 0, 'g', 9);
            }
        }
    }
    return {};
}

} // namespace

class TestWaveAudio : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void playsEveryEncodingToTheEnd_data();
    void playsEveryEncodingToTheEnd();

    void stopKeepsThePositionAndPlayGoesOnFromThere_data();
    void stopKeepsThePositionAndPlayGoesOnFromThere();

    void stopWhilePausedPlaysNothingMore();

    void prevRewindsAndKeepsTheMode_data();
    void prevRewindsAndKeepsTheMode();

    void pauseHoldsThePositionAndPauseAgainResumes();

    void pauseRightAfterOpenHolds();

    void playAtTheEndFinishesAtOnce();

    void refusesWhatItCannotPlay_data();
    void refusesWhatItCannotPlay();

    void lengthBeyond16BitsThroughDispatch_data();
    void lengthBeyond16BitsThroughDispatch();

    void openingAnotherFileEndsThePlay();

private:
    QString writeWav(const QString &name, const WavOptions &options);
    // Opens `options` written as `name` with its output behind a closed gate, and plays: the
    // sound stands at its first frame.
    void openAndPlayHeld(Rig &rig, const QString &name, const WavOptions &options);
    // Lets `frames` more frames through the gate and waits until they have sounded.
    static void letThrough(Rig &rig, std::int64_t frames);

    QTemporaryDir m_dir;
};

void TestWaveAudio::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The refused files make FFmpeg log at error level; the tests check Error instead.
    av_log_set_level(AV_LOG_QUIET);
}

QString TestWaveAudio::writeWav(const QString &name, const WavOptions &options)
{
    const QString file = m_dir.filePath(name);
    QString error;
    if (!WavWriter::write(file, options, &error)) {
        qWarning("writing %s failed: %s", qPrintable(name), qPrintable(error));
        return {};
    }
    return file;
}

void TestWaveAudio::openAndPlayHeld(Rig &rig, const QString &name, const WavOptions &options)
{
    const QString file = writeWav(name, options);
    QVERIFY(!file.isEmpty());
    rig.gate = std::make_shared<Gate>();
    rig.gate->hold();
    rig.open(file);
    QCOMPARE(rig.error(), 0);
    rig.command("Play");
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Playing);
    QTRY_VERIFY(rig.sink->isOpen());
    QCOMPARE(rig.position(), 0);
}

void TestWaveAudio::letThrough(Rig &rig, std::int64_t frames)
{
    const std::int64_t heard = rig.framesHeard();
    rig.gate->allow(frames);
    QTRY_COMPARE(rig.framesHeard(), heard + frames);
}

void TestWaveAudio::playsEveryEncodingToTheEnd_data()
{
    QTest::addColumn<WavOptions>("options");
    QTest::addColumn<int>("lengthMs");    // exact frames * 1000 / rate, halves rounded up
    QTest::addColumn<int>("forcedRate");  // an output that only plays this rate; 0: any
    QTest::addColumn<int>("forcedChans"); // and this many channels

    // Frame counts are picked so that the exact length is not a whole number of milliseconds;
    // several sit exactly on a half.
    QTest::newRow("pcm8 mono 8000") << wav(WavEncoding::Pcm8, 8000, 1, 8004) << 1001 << 0 << 0;
    QTest::newRow("pcm8 stereo 22050")
        << wav(WavEncoding::Pcm8, 22050, 2, 5000) << 227 << 0 << 0; // 226.76
    QTest::newRow("pcm16 mono 11025")
        << wav(WavEncoding::Pcm16, 11025, 1, 5000) << 454 << 0 << 0; // 453.51
    QTest::newRow("pcm16 stereo 44100")
        << wav(WavEncoding::Pcm16, 44100, 2, 22071) << 500 << 0 << 0; // 500.48
    QTest::newRow("pcm16 stereo 96000")
        << wav(WavEncoding::Pcm16, 96000, 2, 4848) << 51 << 0 << 0; // 50.5
    QTest::newRow("pcm24 mono 44100")
        << wav(WavEncoding::Pcm24, 44100, 1, 10000) << 227 << 0 << 0; // 226.76
    QTest::newRow("pcm24 stereo 48000")
        << wav(WavEncoding::Pcm24, 48000, 2, 12024) << 251 << 0 << 0; // 250.5
    QTest::newRow("pcm32 mono 96000")
        << wav(WavEncoding::Pcm32, 96000, 1, 30096) << 314 << 0 << 0; // 313.5
    QTest::newRow("pcm32 stereo 8000")
        << wav(WavEncoding::Pcm32, 8000, 2, 1999) << 250 << 0 << 0; // 249.875
    QTest::newRow("float mono 22050")
        << wav(WavEncoding::Float32, 22050, 1, 7777) << 353 << 0 << 0; // 352.70
    QTest::newRow("float stereo 48000")
        << wav(WavEncoding::Float32, 48000, 2, 4823) << 100 << 0 << 0; // 100.48
    QTest::newRow("IMA ADPCM stereo 22050")
        << wav(WavEncoding::ImaAdpcm, 22050, 2, 11025) << 500 << 0 << 0;
    QTest::newRow("IMA ADPCM mono 8000")
        << wav(WavEncoding::ImaAdpcm, 8000, 1, 3004) << 376 << 0 << 0; // 375.5
    QTest::newRow("mu-law mono 8000")
        << wav(WavEncoding::MuLaw, 8000, 1, 4004) << 501 << 0 << 0; // 500.5
    QTest::newRow("extensible pcm16 stereo 48000")
        << extensible(wav(WavEncoding::Pcm16, 48000, 2, 4800)) << 100 << 0 << 0;
    QTest::newRow("extensible float mono 44100")
        << extensible(wav(WavEncoding::Float32, 44100, 1, 4430)) << 100 << 0 << 0; // 100.45
    QTest::newRow("chunks before and after the data")
        << withChunksAround(wav(WavEncoding::Pcm16, 44100, 2, 4411)) << 100 << 0 << 0; // 100.02
    QTest::newRow("34 s, pcm16 mono 8000")
        << wav(WavEncoding::Pcm16, 8000, 1, 272004) << 34001 << 0 << 0; // 34000.5
    QTest::newRow("44100 mono to an output of 48000 stereo")
        << sine(wav(WavEncoding::Pcm16, 44100, 1, 44100)) << 1000 << 48000 << 2;
    QTest::newRow("96000 stereo to an output of 44100 stereo")
        << sine(wav(WavEncoding::Float32, 96000, 2, 9650)) << 101 << 44100 << 2; // 100.52
}

void TestWaveAudio::playsEveryEncodingToTheEnd()
{
    QFETCH(WavOptions, options);
    QFETCH(int, lengthMs);
    QFETCH(int, forcedRate);
    QFETCH(int, forcedChans);

    Rig rig;
    const bool forced = forcedRate > 0;
    if (forced)
        rig.sinkOptions.withForcedFormat(AudioFormat{forcedRate, forcedChans});
    const QString file = writeWav(QStringLiteral("%1.wav").arg(QTest::currentDataTag()), options);
    QVERIFY(!file.isEmpty());

    rig.open(file);
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QCOMPARE(rig.length(), lengthMs);
    QCOMPARE(rig.position(), 0);

    rig.command("Play");
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Playing);
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 1, kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes.first(), MediaControl::kNotifySuccessful);
    QCOMPARE(rig.positionAtDone.first(), lengthMs);
    QCOMPARE(rig.position(), lengthMs);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);

    // The output was asked for the file's own format.
    QCOMPARE(rig.sink->requestedFormat().sampleRate, options.sampleRate);
    QCOMPARE(rig.sink->requestedFormat().channels, options.channels);
    const AudioFormat output = rig.sink->format();
    const std::vector<float> heard = rig.sink->received();
    const std::int64_t frames = rig.framesHeard();
    if (!forced) {
        QCOMPARE(frames, options.frames);
        const QString mismatch = firstMismatch(heard, 0, options, 0);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    } else {
        const double exact = double(options.frames) * forcedRate / options.sampleRate;
        QVERIFY2(std::abs(double(frames) - exact) <= 1.0,
                 qPrintable(QStringLiteral("%1 frames at %2 Hz, expected %3")
                                .arg(frames)
                                .arg(forcedRate)
                                .arg(exact)));
        const QString mismatch = firstMismatchResampled(heard, output, options, 0.001);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    // One Done, however long one waits.
    QTest::qWait(50);
    QCOMPARE(rig.doneCodes, QList<int>{MediaControl::kNotifySuccessful});
}

void TestWaveAudio::stopKeepsThePositionAndPlayGoesOnFromThere_data()
{
    QTest::addColumn<WavOptions>("options");
    QTest::addColumn<bool>("pausedFirst");
    QTest::newRow("stopped while playing") << aMinute() << false;
    QTest::newRow("stopped while paused") << aMinute() << true;
    // Compressed in blocks: going on from the middle of one means decoding it from its start.
    QTest::newRow("IMA ADPCM, stopped while playing")
        << wav(WavEncoding::ImaAdpcm, 8000, 1, 480000) << false;
}

void TestWaveAudio::stopKeepsThePositionAndPlayGoesOnFromThere()
{
    QFETCH(WavOptions, options);
    QFETCH(bool, pausedFirst);
    Rig rig;
    openAndPlayHeld(rig, QStringLiteral("stop.wav"), options);
    const std::int64_t here = 2004; // 250.5 ms at 8 kHz
    letThrough(rig, here);
    if (pausedFirst) {
        rig.command("Pause");
        QCOMPARE(rig.control.mode(), ControlMode::Paused);
    }
    QCOMPARE(rig.position(), 251);

    const int flushes = rig.sink->flushCount();
    rig.command("Stop");
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QCOMPARE(rig.position(), 251);
    // Once the device has dropped what the output still held, the position is still there.
    QTRY_COMPARE(rig.sink->flushCount(), flushes + 1);
    QCOMPARE(rig.position(), 251);
    QTest::qWait(50);
    QCOMPARE(rig.position(), 251);
    QCOMPARE(rig.doneCodes, QList<int>{MediaControl::kNotifyAborted});

    const std::int64_t heardBeforePlay = rig.framesHeard();
    rig.gate->open();
    rig.command("Play");
    QCOMPARE(rig.error(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 2, kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes,
             (QList<int>{MediaControl::kNotifyAborted, MediaControl::kNotifySuccessful}));
    QCOMPARE(rig.position(), rig.length());

    // The second play picked the sound up at the frame where the first one stopped.
    QCOMPARE(rig.framesHeard() - heardBeforePlay, options.frames - here);
    const QString mismatch = firstMismatch(rig.sink->received(), heardBeforePlay, options, here);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestWaveAudio::stopWhilePausedPlaysNothingMore()
{
    Rig rig;
    const QString file = writeWav(QStringLiteral("stop-paused.wav"), aMinute());
    QVERIFY(!file.isEmpty());
    rig.open(file);
    QCOMPARE(rig.error(), 0);
    QTRY_VERIFY(rig.sink->isOpen());
    rig.command("Play");
    rig.command("Pause");
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    // The device fills the paused output's buffer and waits.
    QTRY_COMPARE(rig.sink->framesQueued(), rig.bufferFrames());
    const std::int64_t heardWhenPaused = rig.framesHeard();

    const int flushes = rig.sink->flushCount();
    rig.command("Stop");
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QTRY_COMPARE(rig.sink->flushCount(), flushes + 1);
    // Nothing of what the paused output held may sound after Stop.
    QCOMPARE(rig.framesHeard(), heardWhenPaused);
}

void TestWaveAudio::prevRewindsAndKeepsTheMode_data()
{
    QTest::addColumn<ControlMode>("mode");
    QTest::addColumn<QList<int>>("doneCodes"); // once played to the end after Prev

    QTest::newRow("playing") << ControlMode::Playing << QList<int>{MediaControl::kNotifySuccessful};
    QTest::newRow("paused") << ControlMode::Paused << QList<int>{MediaControl::kNotifySuccessful};
    QTest::newRow("stopped") << ControlMode::Stopped
                             << QList<int>{MediaControl::kNotifyAborted,
                                           MediaControl::kNotifySuccessful};
}

void TestWaveAudio::prevRewindsAndKeepsTheMode()
{
    QFETCH(ControlMode, mode);
    QFETCH(QList<int>, doneCodes);
    Rig rig;
    const WavOptions options = aMinute();
    openAndPlayHeld(rig, QStringLiteral("prev.wav"), options);
    letThrough(rig, 4000);
    if (mode == ControlMode::Paused)
        rig.command("Pause");
    if (mode == ControlMode::Stopped) {
        const int flushes = rig.sink->flushCount();
        rig.command("Stop");
        QTRY_COMPARE(rig.sink->flushCount(), flushes + 1);
    }
    QCOMPARE(rig.control.mode(), mode);
    QCOMPARE(rig.position(), 500);

    const int flushes = rig.sink->flushCount();
    rig.command("Prev");
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.position(), 0);
    QCOMPARE(rig.control.mode(), mode);
    QTRY_COMPARE(rig.sink->flushCount(), flushes + 1);
    // Held at the start (by the gate, by Pause or by Stop), and no Done for the seek.
    QCOMPARE(rig.position(), 0);
    QTest::qWait(50);
    QCOMPARE(rig.position(), 0);
    QCOMPARE(rig.control.mode(), mode);
    QCOMPARE(rig.doneCodes.size(), doneCodes.size() - 1);

    const std::int64_t heardBeforeResume = rig.framesHeard();
    rig.gate->open();
    if (mode == ControlMode::Paused)
        rig.command("Pause");
    if (mode == ControlMode::Stopped)
        rig.command("Play");
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), doneCodes.size(), kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes, doneCodes);
    QCOMPARE(rig.position(), rig.length());
    // From the very first frame to the last.
    QCOMPARE(rig.framesHeard() - heardBeforeResume, options.frames);
    const QString mismatch = firstMismatch(rig.sink->received(), heardBeforeResume, options, 0);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestWaveAudio::pauseHoldsThePositionAndPauseAgainResumes()
{
    Rig rig;
    const WavOptions options = aMinute();
    const QString file = writeWav(QStringLiteral("pause.wav"), options);
    QVERIFY(!file.isEmpty());
    rig.open(file);
    QCOMPARE(rig.error(), 0);
    QTRY_VERIFY(rig.sink->isOpen());

    rig.command("Play");
    rig.command("Pause");
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    const std::int32_t held = rig.position();
    QVERIFY(held < rig.length());
    // The device goes on decoding into the paused output until its buffer is full; the position
    // does not move meanwhile, nor later.
    QTRY_COMPARE(rig.sink->framesQueued(), rig.bufferFrames());
    QCOMPARE(rig.position(), held);
    QTest::qWait(50);
    QCOMPARE(rig.position(), held);
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    QVERIFY(rig.doneCodes.isEmpty());

    rig.command("Pause");
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Playing);
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 1, kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.position(), rig.length());
    // Every frame once, in order: the pause lost and repeated nothing.
    QCOMPARE(rig.framesHeard(), options.frames);
    const QString mismatch = firstMismatch(rig.sink->received(), 0, options, 0);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestWaveAudio::pauseRightAfterOpenHolds()
{
    // A program writes Open, Play and Pause in one go, while the output is still starting.
    Rig rig;
    rig.sinkStartTime = std::chrono::milliseconds(100);
    const WavOptions options = aMinute();
    const QString file = writeWav(QStringLiteral("open-play-pause.wav"), options);
    QVERIFY(!file.isEmpty());
    rig.open(file);
    rig.command("Play");
    rig.command("Pause");
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Paused);

    // Once the output has started, the pause must still hold: nothing heard, nothing done.
    QTRY_VERIFY(rig.sink->isOpen());
    QTest::qWait(100);
    QCOMPARE(rig.framesHeard(), std::int64_t{0});
    QCOMPARE(rig.position(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    QVERIFY(rig.doneCodes.isEmpty());

    rig.command("Pause");
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 1, kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.framesHeard(), options.frames);
}

void TestWaveAudio::playAtTheEndFinishesAtOnce()
{
    Rig rig;
    const WavOptions options = wav(WavEncoding::Pcm16, 22050, 2, 2205);
    const QString file = writeWav(QStringLiteral("again.wav"), options);
    QVERIFY(!file.isEmpty());
    rig.open(file);
    rig.command("Play");
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 1, kPlayTimeoutMs);
    const std::int64_t heard = rig.framesHeard();
    QCOMPARE(heard, options.frames);

    rig.command("Play");
    QCOMPARE(rig.error(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 2, kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes,
             (QList<int>{MediaControl::kNotifySuccessful, MediaControl::kNotifySuccessful}));
    QCOMPARE(rig.positionAtDone, (QList<std::int32_t>{100, 100}));
    QCOMPARE(rig.framesHeard(), heard);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
}

namespace {
enum class Unplayable {
    Missing,
    EmptyName,
    Directory,
    Unreadable,
    Text,
    Png,
    RandomBytes,
    TruncatedData,
    TruncatedHeader,
    RiffSizeLies,
    DataSizeLies,
    BothSizesLie,
};
} // namespace
Q_DECLARE_METATYPE(Unplayable)

void TestWaveAudio::refusesWhatItCannotPlay_data()
{
    QTest::addColumn<Unplayable>("input");
    QTest::addColumn<int>("expected");

    const int notFound = int(MediaErrorCode::FileNotFound);
    const int unsupported = int(MediaErrorCode::UnsupportedFormat);
    const int corrupt = int(MediaErrorCode::CorruptMedia);
    QTest::newRow("missing file") << Unplayable::Missing << notFound;
    QTest::newRow("empty name") << Unplayable::EmptyName << notFound;
    QTest::newRow("directory") << Unplayable::Directory << notFound;
    QTest::newRow("unreadable") << Unplayable::Unreadable << int(MediaErrorCode::FileUnreadable);
    QTest::newRow("text") << Unplayable::Text << unsupported;
    QTest::newRow("PNG picture") << Unplayable::Png << unsupported;
    QTest::newRow("random bytes") << Unplayable::RandomBytes << unsupported;
    QTest::newRow("data cut short") << Unplayable::TruncatedData << corrupt;
    QTest::newRow("cut inside the header") << Unplayable::TruncatedHeader << corrupt;
    QTest::newRow("RIFF size lies") << Unplayable::RiffSizeLies << corrupt;
    QTest::newRow("data size lies") << Unplayable::DataSizeLies << corrupt;
    QTest::newRow("both sizes lie") << Unplayable::BothSizesLie << corrupt;
}

void TestWaveAudio::refusesWhatItCannotPlay()
{
    QFETCH(Unplayable, input);
    QFETCH(int, expected);

    const QString tag =
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    // A second of 16-bit stereo: 44 bytes of header and 176400 of data.
    const WavOptions good = wav(WavEncoding::Pcm16, 44100, 2, 44100);
    const qint64 goodSize = 44 + 176400;
    QString file;
    switch (input) {
    case Unplayable::Missing:
        file = m_dir.filePath(QStringLiteral("no-such-file.wav"));
        break;
    case Unplayable::EmptyName:
        break;
    case Unplayable::Directory:
        file = m_dir.filePath(QStringLiteral("folder.wav"));
        QVERIFY(QDir().mkpath(file));
        break;
    case Unplayable::Unreadable:
        file = writeWav(tag + QStringLiteral(".wav"), good);
        QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
        if (QFile locked(file); locked.open(QIODevice::ReadOnly))
            QSKIP("this user reads files whatever their permissions (root?)");
        break;
    case Unplayable::Text:
        file = m_dir.filePath(QStringLiteral("notes.txt"));
        QVERIFY(WavWriter::writeText(file));
        break;
    case Unplayable::Png:
        file = m_dir.filePath(QStringLiteral("picture.png"));
        QVERIFY(WavWriter::writePicture(file, "PNG"));
        break;
    case Unplayable::RandomBytes:
        file = m_dir.filePath(QStringLiteral("noise.wav"));
        QVERIFY(WavWriter::writeRandomBytes(file, 64 * 1024, 1234567));
        break;
    case Unplayable::TruncatedData:
        file = writeWav(tag + QStringLiteral(".wav"), good);
        QVERIFY(WavWriter::truncate(file, goodSize / 2));
        break;
    case Unplayable::TruncatedHeader:
        file = writeWav(tag + QStringLiteral(".wav"), good);
        QVERIFY(WavWriter::truncate(file, 30));
        break;
    case Unplayable::RiffSizeLies:
    case Unplayable::DataSizeLies:
    case Unplayable::BothSizesLie: {
        WavOptions lying = good;
        if (input != Unplayable::DataSizeLies)
            lying.riffSizeField = quint32(goodSize - 8 + 100000);
        if (input != Unplayable::RiffSizeLies)
            lying.dataSizeField = 176400 + 100000;
        file = writeWav(tag + QStringLiteral(".wav"), lying);
        break;
    }
    }
    if (input != Unplayable::EmptyName && input != Unplayable::Missing)
        QVERIFY(!file.isEmpty());

    Rig rig;
    // A good file first: the failed Open must not leave it, or anything else, open.
    const QString goodFile = writeWav(QStringLiteral("good.wav"), good);
    QVERIFY(!goodFile.isEmpty());
    rig.open(goodFile);
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.length(), 1000);

    rig.open(file);
    QCOMPARE(int(rig.error()), expected);
    QVERIFY(!rig.control.errorMessage().isEmpty());
    QCOMPARE(rig.control.mode(), ControlMode::NoDevice);
    QCOMPARE(rig.length(), 0);
    QCOMPARE(rig.position(), 0);
    rig.command("Play");
    QCOMPARE(rig.error(), std::int16_t(MediaErrorCode::NoDeviceOpen));
    QVERIFY(!rig.control.errorMessage().isEmpty());
    QCOMPARE(rig.control.mode(), ControlMode::NoDevice);
    QVERIFY(rig.doneCodes.isEmpty());
}

void TestWaveAudio::lengthBeyond16BitsThroughDispatch_data()
{
    QTest::addColumn<WavOptions>("options");
    QTest::addColumn<std::int32_t>("lengthMs");
    // Past what a signed and what an unsigned 16-bit length holds.
    QTest::newRow("40 s") << wav(WavEncoding::Pcm16, 8000, 1, 320004) << std::int32_t(40001);
    QTest::newRow("65.5 s") << wav(WavEncoding::Pcm8, 8000, 1, 524292) << std::int32_t(65537);
}

void TestWaveAudio::lengthBeyond16BitsThroughDispatch()
{
    QFETCH(WavOptions, options);
    QFETCH(std::int32_t, lengthMs);
    Rig rig;
    const QString file = writeWav(QStringLiteral("%1.wav").arg(QTest::currentDataTag()), options);
    QVERIFY(!file.isEmpty());
    rig.open(file);
    QCOMPARE(rig.error(), 0);

    const DispatchValue length = rig.control.get(MediaControl::kLength);
    QVERIFY(std::holds_alternative<std::int32_t>(length));
    QCOMPARE(std::get<std::int32_t>(length), lengthMs);

    rig.command("Play");
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 1, kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes.first(), MediaControl::kNotifySuccessful);
    const DispatchValue position = rig.control.get(MediaControl::kPosition);
    QVERIFY(std::holds_alternative<std::int32_t>(position));
    QCOMPARE(std::get<std::int32_t>(position), lengthMs);
    QCOMPARE(rig.framesHeard(), options.frames);
}

void TestWaveAudio::openingAnotherFileEndsThePlay()
{
    Rig rig;
    openAndPlayHeld(rig, QStringLiteral("first.wav"), aMinute());
    letThrough(rig, 8000);
    QCOMPARE(rig.control.mode(), ControlMode::Playing);
    QCOMPARE(rig.position(), 1000);

    const WavOptions second = wav(WavEncoding::Pcm16, 22050, 2, 11030); // 500.23 ms
    const QString secondFile = writeWav(QStringLiteral("second.wav"), second);
    QVERIFY(!secondFile.isEmpty());
    rig.open(secondFile);
    QCOMPARE(rig.error(), 0);
    QCOMPARE(rig.sinksMade, 2);
    QCOMPARE(rig.length(), 500);
    QCOMPARE(rig.position(), 0);
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QTRY_COMPARE(rig.doneCodes, QList<int>{MediaControl::kNotifyAborted});

    rig.gate->open();
    rig.command("Play");
    QCOMPARE(rig.error(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.doneCodes.size(), 2, kPlayTimeoutMs);
    QCOMPARE(rig.doneCodes,
             (QList<int>{MediaControl::kNotifyAborted, MediaControl::kNotifySuccessful}));
    QCOMPARE(rig.positionAtDone.last(), 500);
    QCOMPARE(rig.position(), 500);
    // The new output played the new file, all of it.
    QCOMPARE(rig.sink->requestedFormat(), (AudioFormat{22050, 2}));
    QCOMPARE(rig.framesHeard(), second.frames);
    const QString mismatch = firstMismatch(rig.sink->received(), 0, second, 0);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QTest::qWait(50);
    QCOMPARE(rig.doneCodes.size(), 2);
}

QTEST_MAIN(TestWaveAudio)
#include "tst_waveaudio.moc"
