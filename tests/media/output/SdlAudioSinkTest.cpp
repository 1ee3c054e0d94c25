// Sound through SDL. CTest runs this with SDL_AUDIODRIVER=dummy, which plays nothing but runs
// the callback at the device's pace; one case switches to SDL's disk driver to read back what
// the callback actually handed over.

#include "AudioFormatPrinting.h"

#include "media/output/SdlAudioSink.h"
#include "media/output/SdlAudioSubsystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using zyr::media::AudioFormat;
using zyr::media::ErrorKind;
using zyr::media::SdlAudioSink;
using zyr::media::SdlAudioSubsystem;

namespace {

using Clock = std::chrono::steady_clock;

const AudioFormat kRequested{48000, 2};
// Generous bound for SDL's audio thread to get going or to consume a few periods, on a loaded
// machine under sanitizers; the checks poll and normally finish far sooner.
constexpr int kSettleMs = 10000;
// Long enough for several dummy-driver periods (about 21 ms each here) to pass.
constexpr auto kSeveralPeriods = 80ms;

std::vector<float> tone(const AudioFormat &format, std::int64_t frames)
{
    std::vector<float> samples(static_cast<std::size_t>(frames * format.channels));
    for (std::int64_t i = 0; i < frames; ++i) {
        const float value =
            0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 *
                                               static_cast<double>(i) / format.sampleRate));
        for (int c = 0; c < format.channels; ++c) {
            samples[static_cast<std::size_t>(i * format.channels + c)] = value;
        }
    }
    return samples;
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

class SdlAudioSinkTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void periodStaysWithinBounds();
    void opensAndReportsFormat();
    void consumesWrittenToneOverTime();
    void pauseHaltsAndResumeContinues();
    void flushDropsQueuedAudio();
    void fullBufferTakesMoreOnceTheCallbackFreesRoom();
    void subsystemLivesWhileAnyHolderRemains();
    void secondSinkLeavesFirstPlaying();
    void closeIsCleanAndReopenWorks();
    void failsWhenNoDriverStarts();
    void workersLeaveNothingOfSdlBehind();
    void deliversExactSamplesToTheDevice();
};

void SdlAudioSinkTest::initTestCase()
{
    if (qgetenv("SDL_AUDIODRIVER") != "dummy") {
        QSKIP("Needs SDL_AUDIODRIVER=dummy, as set by the test environment");
    }
}

void SdlAudioSinkTest::periodStaysWithinBounds()
{
    // The power of two nearest 20 ms, clamped to what sound servers handle well.
    QCOMPARE(SdlAudioSink::periodFramesFor(8000), 512);
    QCOMPARE(SdlAudioSink::periodFramesFor(22050), 512);
    QCOMPARE(SdlAudioSink::periodFramesFor(32000), 512);
    QCOMPARE(SdlAudioSink::periodFramesFor(44100), 1024);
    QCOMPARE(SdlAudioSink::periodFramesFor(48000), 1024);
    QCOMPARE(SdlAudioSink::periodFramesFor(192000), 1024);
}

void SdlAudioSinkTest::opensAndReportsFormat()
{
    SdlAudioSink sink;
    const auto opened = sink.open(kRequested);
    QVERIFY2(opened.ok(), qPrintable(opened.ok() ? QString() : opened.error().message));
    QVERIFY(opened.value().isValid());
    QVERIFY(sink.periodFrames() >= SdlAudioSink::kMinPeriodFrames);
    QVERIFY(sink.periodFrames() <= SdlAudioSink::kMaxPeriodFrames);
    QCOMPARE(sink.framesPlayed(), 0);
    QCOMPARE(sink.framesQueued(), 0);
    QVERIFY(!sink.lost());

    const auto invalid = sink.open({0, 2});
    QVERIFY(!invalid.ok());
    QCOMPARE(invalid.error().kind, ErrorKind::UnsupportedFormat);
}

void SdlAudioSinkTest::consumesWrittenToneOverTime()
{
    SdlAudioSink sink;
    const auto opened = sink.open(kRequested);
    QVERIFY(opened.ok());
    const AudioFormat format = opened.value();
    const std::int64_t frames = format.framesIn(200ms);
    const auto samples = tone(format, frames);

    const auto started = Clock::now();
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(frames)),
             static_cast<std::size_t>(frames));
    QTRY_VERIFY_WITH_TIMEOUT(sink.framesPlayed() > 0, kSettleMs);
    const std::int64_t early = sink.framesPlayed();
    QVERIFY(early < frames);
    QTRY_VERIFY_WITH_TIMEOUT(sink.framesPlayed() > early, kSettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(sink.framesQueued(), 0, kSettleMs);
    const auto elapsed = Clock::now() - started;
    QCOMPARE(sink.framesPlayed(), frames);
    // The device takes its time: 200 ms of audio is not swallowed in one go. The first period
    // may be taken at once, so only most of the duration is required.
    QVERIFY2(elapsed >= 200ms - format.durationOf(2 * sink.periodFrames()),
             qPrintable(
                 QStringLiteral("drained in %1 ms")
                     .arg(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count())));
}

void SdlAudioSinkTest::pauseHaltsAndResumeContinues()
{
    SdlAudioSink sink;
    const auto opened = sink.open(kRequested);
    QVERIFY(opened.ok());
    const std::int64_t frames = opened.value().framesIn(200ms);
    const auto samples = tone(opened.value(), frames);
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(frames)),
             static_cast<std::size_t>(frames));
    QTRY_VERIFY_WITH_TIMEOUT(sink.framesPlayed() > 0, kSettleMs);

    sink.setPaused(true);
    const std::int64_t atPause = sink.framesPlayed();
    std::this_thread::sleep_for(kSeveralPeriods);
    QCOMPARE(sink.framesPlayed(), atPause);
    // Paused, nothing moves, so the split of what was written is exact.
    QCOMPARE(sink.framesPlayed() + sink.framesQueued(), frames);
    QVERIFY(sink.framesQueued() > 0);

    sink.setPaused(false);
    QTRY_VERIFY_WITH_TIMEOUT(sink.framesPlayed() > atPause, kSettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(sink.framesPlayed(), frames, kSettleMs);
}

void SdlAudioSinkTest::flushDropsQueuedAudio()
{
    SdlAudioSink sink;
    const auto opened = sink.open(kRequested);
    QVERIFY(opened.ok());
    const std::int64_t frames = opened.value().framesIn(200ms);
    const auto samples = tone(opened.value(), frames);
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(frames)),
             static_cast<std::size_t>(frames));
    QTRY_VERIFY_WITH_TIMEOUT(sink.framesPlayed() > 0, kSettleMs);

    // While running: the callback is held off during the flush, so it cannot count a frame
    // from before it afterwards.
    sink.flush();
    QCOMPARE(sink.framesQueued(), 0);
    const std::int64_t afterFlush = sink.framesPlayed();
    QCOMPARE(afterFlush, 0);
    std::this_thread::sleep_for(kSeveralPeriods);
    QCOMPARE(sink.framesPlayed(), 0);

    // The clock restarts from 0 with the next frames written.
    const std::int64_t more = opened.value().framesIn(50ms);
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(more)),
             static_cast<std::size_t>(more));
    QTRY_COMPARE_WITH_TIMEOUT(sink.framesPlayed(), more, kSettleMs);
}

void SdlAudioSinkTest::fullBufferTakesMoreOnceTheCallbackFreesRoom()
{
    SdlAudioSink sink;
    const auto opened = sink.open(kRequested);
    QVERIFY(opened.ok());
    const auto samples = tone(opened.value(), opened.value().framesIn(500ms));
    const std::size_t total = samples.size() / static_cast<std::size_t>(opened.value().channels);

    sink.setPaused(true);
    std::size_t accepted = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        accepted += sink.write(samples.data(), total - accepted);
    }
    // The buffer holds about its nominal duration and refuses the rest.
    QVERIFY(accepted > 0);
    QVERIFY(accepted < total);
    QCOMPARE(sink.write(samples.data(), 1), 0u);
    QCOMPARE(sink.framesQueued(), static_cast<std::int64_t>(accepted));

    // Resumed, the callback frees room again.
    sink.setPaused(false);
    std::size_t more = 0; // QTRY evaluates its condition once more at the end
    QTRY_VERIFY_WITH_TIMEOUT((more += sink.write(samples.data(), total)) > 0, kSettleMs);
}

void SdlAudioSinkTest::subsystemLivesWhileAnyHolderRemains()
{
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    auto held = SdlAudioSubsystem::acquire();
    QVERIFY(held.ok());
    {
        SdlAudioSink sink;
        QVERIFY(sink.open(kRequested).ok());
        sink.close();
        // The sink dropped its reference, but another holder keeps SDL's audio up.
        QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), Uint32{SDL_INIT_AUDIO});
        QVERIFY(sink.open(kRequested).ok());
        const auto samples = tone(kRequested, 4800);
        QCOMPARE(sink.write(samples.data(), 4800), 4800u);
        QTRY_COMPARE_WITH_TIMEOUT(sink.framesPlayed(), 4800, kSettleMs);
    }
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), Uint32{SDL_INIT_AUDIO});
    {
        const SdlAudioSubsystem last = std::move(held).value();
    }
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

void SdlAudioSinkTest::secondSinkLeavesFirstPlaying()
{
    SdlAudioSink first;
    QVERIFY(first.open(kRequested).ok());
    {
        // The dummy driver, like some hardware, opens one device at a time; whether or not the
        // second opens, the first must be unaffected and no reference may leak.
        SdlAudioSink second;
        const auto opened = second.open({44100, 1});
        if (!opened.ok()) {
            QCOMPARE(opened.error().kind, ErrorKind::DeviceUnavailable);
        }
    }
    const auto samples = tone(kRequested, 4800);
    QCOMPARE(first.write(samples.data(), 4800), 4800u);
    QTRY_COMPARE_WITH_TIMEOUT(first.framesPlayed(), 4800, kSettleMs);
    first.close();
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

void SdlAudioSinkTest::closeIsCleanAndReopenWorks()
{
    SdlAudioSink sink;
    QVERIFY(sink.open(kRequested).ok());
    const auto samples = tone(kRequested, 4800);
    QCOMPARE(sink.write(samples.data(), 4800), 4800u);
    sink.close();
    sink.close();
    QCOMPARE(sink.framesPlayed(), 0);
    QCOMPARE(sink.framesQueued(), 0);
    QCOMPARE(sink.periodFrames(), 0);
    QCOMPARE(sink.write(samples.data(), 4800), 0u);
    sink.setPaused(true);
    sink.flush();
    QVERIFY(!sink.lost());
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    QVERIFY(sink.open({44100, 2}).ok());
    QCOMPARE(sink.write(samples.data(), 2400), 2400u);
    QTRY_COMPARE_WITH_TIMEOUT(sink.framesPlayed(), 2400, kSettleMs);
}

void SdlAudioSinkTest::failsWhenNoDriverStarts()
{
    const ScopedEnv driver("SDL_AUDIODRIVER", "zyr-no-such-driver");
    SdlAudioSink sink;
    const auto opened = sink.open(kRequested);
    QVERIFY(!opened.ok());
    QCOMPARE(opened.error().kind, ErrorKind::DeviceUnavailable);
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

void SdlAudioSinkTest::workersLeaveNothingOfSdlBehind()
{
    // As a device's worker does: open the output, play, close, end; and a start that fails.
    // SDL keeps an error message for each thread that calls it; LeakSanitizer, when this
    // program ends, reports any an ended worker left behind.
    bool played = false;
    std::thread([&] {
        SdlAudioSink sink;
        played = sink.open(kRequested).ok() && sink.write(tone(kRequested, 480).data(), 480) > 0;
    }).join();
    QVERIFY(played);
    bool refused = false;
    {
        const ScopedEnv driver("SDL_AUDIODRIVER", "zyr-no-such-driver");
        std::thread([&] { refused = !SdlAudioSink().open(kRequested).ok(); }).join();
    }
    QVERIFY(refused);
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

void SdlAudioSinkTest::deliversExactSamplesToTheDevice()
{
    // SDL's disk driver writes each period the callback fills to a file, at the device's pace.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.raw"));
    const ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    const ScopedEnv file("SDL_DISKAUDIOFILE", QFile::encodeName(path));

    // Distinct non-zero samples, so the captured stream can be told apart from the silence the
    // callback pads underruns with, and any loss, repeat or reorder shows.
    const AudioFormat format{48000, 2};
    const std::int64_t frames = format.framesIn(100ms);
    std::vector<float> samples(static_cast<std::size_t>(frames * 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(i % 4096 + 1) / 8192.0f;
    }
    {
        SdlAudioSink sink;
        const auto opened = sink.open(format);
        QVERIFY2(opened.ok(), qPrintable(opened.ok() ? QString() : opened.error().message));
        QCOMPARE(opened.value(), format);
        // One write: the callback sees all of it or none, so no gap can fall inside it.
        QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(frames)),
                 static_cast<std::size_t>(frames));
        QTRY_COMPARE_WITH_TIMEOUT(sink.framesPlayed(), frames, kSettleMs);
    }

    QFile captured(path);
    QVERIFY(captured.open(QIODevice::ReadOnly));
    const QByteArray bytes = captured.readAll();
    QCOMPARE(bytes.size() % qsizetype(sizeof(float) * 2), 0);
    std::vector<float> stream(static_cast<std::size_t>(bytes.size()) / sizeof(float));
    std::memcpy(stream.data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));

    auto first = stream.begin();
    while (first != stream.end() && *first == 0.0f) {
        ++first;
    }
    auto last = stream.end();
    while (last != first && *(last - 1) == 0.0f) {
        --last;
    }
    QCOMPARE(std::vector<float>(first, last), samples);
    // Everything before the tone is whole frames of silence.
    QCOMPARE((first - stream.begin()) % 2, 0);
}

QTEST_GUILESS_MAIN(SdlAudioSinkTest)
#include "SdlAudioSinkTest.moc"
