// The output used when there is no sound card: it must keep real time, since positions, status
// and end of play are read off it. Each timing check brackets the moments the sink could have
// seen between two clock reads, so a slow or loaded machine widens the window instead of
// failing it; no check bounds how long a call or a sleep may take.

#include "AudioFormatPrinting.h"

#include "media/output/SilentAudioSink.h"

#include <QtTest>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using zyr::media::AudioFormat;
using zyr::media::ErrorKind;
using zyr::media::kSinkBufferDuration;
using zyr::media::SilentAudioSink;

namespace {

using Clock = std::chrono::steady_clock;

const AudioFormat kFormat{48000, 2};
// Long enough that real-time consumption is far from both zero and the whole buffer.
constexpr auto kPlayFor = 200ms;
// Slack for the granularity of the counts: one frame of rounding either side.
constexpr std::int64_t kFrameSlack = 1;

std::vector<float> silence(std::int64_t frames)
{
    return std::vector<float>(static_cast<std::size_t>(frames) * 2, 0.25f);
}

std::int64_t framesBetween(Clock::time_point from, Clock::time_point to)
{
    return kFormat.framesIn(to - from);
}

} // namespace

class SilentAudioSinkTest : public QObject {
    Q_OBJECT

private slots:
    void opensAsRequestedAndRejectsInvalid();
    void consumesInRealTime();
    void endsWhenQueueDrains();
    void idleTimeIsNotBanked();
    void pauseStopsConsumption();
    void flushDropsQueuedFrames();
    void closedSinkIsInert();
};

void SilentAudioSinkTest::opensAsRequestedAndRejectsInvalid()
{
    SilentAudioSink sink;
    const auto opened = sink.open({22050, 1});
    QVERIFY(opened.ok());
    QCOMPARE(opened.value(), AudioFormat({22050, 1}));
    QVERIFY(!sink.lost());

    const auto invalid = sink.open({44100, 0});
    QVERIFY(!invalid.ok());
    QCOMPARE(invalid.error().kind, ErrorKind::UnsupportedFormat);
}

void SilentAudioSinkTest::consumesInRealTime()
{
    SilentAudioSink sink;
    QVERIFY(sink.open(kFormat).ok());
    const std::int64_t capacity = kFormat.framesIn(kSinkBufferDuration);
    const auto samples = silence(capacity + 100);

    const auto beforeWrite = Clock::now();
    QCOMPARE(sink.write(samples.data(), capacity + 100), static_cast<std::size_t>(capacity));
    const auto afterWrite = Clock::now();
    std::this_thread::sleep_for(kPlayFor);
    const auto beforeRead = Clock::now();
    const std::int64_t played = sink.framesPlayed();
    const std::int64_t queued = sink.framesQueued();
    const auto afterRead = Clock::now();

    // A sleep that overran the buffer's duration finds it played out.
    QVERIFY2(played >= std::min(capacity, framesBetween(afterWrite, beforeRead) - kFrameSlack),
             qPrintable(QStringLiteral("played %1").arg(played)));
    QVERIFY2(played <= framesBetween(beforeWrite, afterRead) + kFrameSlack,
             qPrintable(QStringLiteral("played %1").arg(played)));
    // The two reads are a moment apart, so the split may have moved on slightly in between.
    QVERIFY(played + queued <= capacity);
    QVERIFY(played + queued >= capacity - framesBetween(beforeRead, afterRead) - kFrameSlack);
}

void SilentAudioSinkTest::endsWhenQueueDrains()
{
    SilentAudioSink sink;
    QVERIFY(sink.open(kFormat).ok());
    const std::int64_t frames = kFormat.framesIn(50ms);
    const auto samples = silence(frames);
    const auto beforeWrite = Clock::now();
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(frames)),
             static_cast<std::size_t>(frames));
    while (sink.framesQueued() > 0) {
        std::this_thread::sleep_for(1ms);
    }
    const auto drained = Clock::now();
    QCOMPARE(sink.framesPlayed(), frames);
    QVERIFY(drained - beforeWrite >= 50ms);
}

void SilentAudioSinkTest::idleTimeIsNotBanked()
{
    SilentAudioSink sink;
    QVERIFY(sink.open(kFormat).ok());
    const auto samples = silence(kFormat.framesIn(100ms));
    // Run dry, then sit idle for a while.
    QCOMPARE(sink.write(samples.data(), 48), 48u);
    std::this_thread::sleep_for(60ms);
    QCOMPARE(sink.framesPlayed(), 48);
    QCOMPARE(sink.framesQueued(), 0);

    // The idle time must not count towards frames written afterwards.
    const auto beforeWrite = Clock::now();
    QVERIFY(sink.write(samples.data(), samples.size() / 2) > 0);
    const std::int64_t played = sink.framesPlayed();
    const auto afterRead = Clock::now();
    QVERIFY2(played - 48 <= framesBetween(beforeWrite, afterRead) + kFrameSlack,
             qPrintable(QStringLiteral("played %1 right after writing").arg(played - 48)));
}

void SilentAudioSinkTest::pauseStopsConsumption()
{
    SilentAudioSink sink;
    QVERIFY(sink.open(kFormat).ok());
    const std::int64_t capacity = kFormat.framesIn(kSinkBufferDuration);
    const auto samples = silence(capacity);
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(capacity)),
             static_cast<std::size_t>(capacity));
    std::this_thread::sleep_for(30ms);

    sink.setPaused(true);
    const std::int64_t atPause = sink.framesPlayed();
    QVERIFY(atPause > 0);
    std::this_thread::sleep_for(60ms);
    QCOMPARE(sink.framesPlayed(), atPause);
    QCOMPARE(sink.framesQueued(), capacity - atPause);

    // Resuming continues from the same count at the real-time rate, without catching up.
    const auto beforeResume = Clock::now();
    sink.setPaused(false);
    const auto afterResume = Clock::now();
    std::this_thread::sleep_for(40ms);
    const auto beforeRead = Clock::now();
    const std::int64_t resumed = sink.framesPlayed() - atPause;
    const auto afterRead = Clock::now();
    QVERIFY(resumed >=
            std::min(capacity - atPause, framesBetween(afterResume, beforeRead) - kFrameSlack));
    QVERIFY(resumed <= framesBetween(beforeResume, afterRead) + kFrameSlack);
}

void SilentAudioSinkTest::flushDropsQueuedFrames()
{
    SilentAudioSink sink;
    QVERIFY(sink.open(kFormat).ok());
    const std::int64_t capacity = kFormat.framesIn(kSinkBufferDuration);
    const auto samples = silence(capacity);
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(capacity)),
             static_cast<std::size_t>(capacity));
    std::this_thread::sleep_for(20ms);
    QVERIFY(sink.framesPlayed() > 0);

    sink.flush();
    QCOMPARE(sink.framesPlayed(), 0);
    QCOMPARE(sink.framesQueued(), 0);
    // The whole buffer is free again at once.
    QCOMPARE(sink.write(samples.data(), static_cast<std::size_t>(capacity)),
             static_cast<std::size_t>(capacity));
}

void SilentAudioSinkTest::closedSinkIsInert()
{
    SilentAudioSink sink;
    const auto samples = silence(10);
    QCOMPARE(sink.write(samples.data(), 10), 0u);

    QVERIFY(sink.open(kFormat).ok());
    QCOMPARE(sink.write(samples.data(), 10), 10u);
    sink.close();
    QCOMPARE(sink.framesPlayed(), 0);
    QCOMPARE(sink.framesQueued(), 0);
    QCOMPARE(sink.write(samples.data(), 10), 0u);
    sink.close();
}

QTEST_GUILESS_MAIN(SilentAudioSinkTest)
#include "SilentAudioSinkTest.moc"
