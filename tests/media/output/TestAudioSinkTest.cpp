// The faster-than-real-time output other tests play devices into; its record and its fault
// injection have to be trustworthy for those tests to mean anything.

#include "AudioFormatPrinting.h"

#include "media/output/TestAudioSink.h"

#include <QtTest>

#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using zyr::media::AudioFormat;
using zyr::media::ErrorKind;
using zyr::media::TestAudioSink;

namespace {

// A ramp of distinct samples, so reordering or loss shows in the record.
std::vector<float> ramp(std::size_t samples, float first = 1.0f)
{
    std::vector<float> values(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        values[i] = first + static_cast<float>(i);
    }
    return values;
}

} // namespace

class TestAudioSinkTest : public QObject {
    Q_OBJECT

private slots:
    void reportsForcedFormat();
    void passesRequestedFormatWhenNotForced();
    void receivesEverythingInOrder();
    void capsEachWrite();
    void failsToOpenWhenTold();
    void rejectsInvalidFormat();
    void pauseHoldsFramesUntilResume();
    void flushDropsHeldFramesAndRestartsClock();
    void lostIsInjectedWithoutStoppingPlayback();
    void reopenClearsRecord();
};

void TestAudioSinkTest::reportsForcedFormat()
{
    TestAudioSink sink(TestAudioSink::Options().withForcedFormat({48000, 2}));
    const auto opened = sink.open({22050, 1});
    QVERIFY(opened.ok());
    QCOMPARE(opened.value(), AudioFormat({48000, 2}));
    QCOMPARE(sink.format(), AudioFormat({48000, 2}));
    QCOMPARE(sink.requestedFormat(), AudioFormat({22050, 1}));

    // Frames are counted in the reported format: 3 stereo frames are 6 samples.
    const auto samples = ramp(6);
    QCOMPARE(sink.write(samples.data(), 3), 3u);
    QCOMPARE(sink.framesPlayed(), 3);
    QCOMPARE(sink.received(), samples);
}

void TestAudioSinkTest::passesRequestedFormatWhenNotForced()
{
    TestAudioSink sink;
    const auto opened = sink.open({11025, 1});
    QVERIFY(opened.ok());
    QCOMPARE(opened.value(), AudioFormat({11025, 1}));
    QVERIFY(sink.isOpen());
    QVERIFY(!sink.isPaused());
}

void TestAudioSinkTest::receivesEverythingInOrder()
{
    TestAudioSink sink;
    QVERIFY(sink.open({44100, 2}).ok());
    // A minute of stereo at 44.1 kHz plays at once: each frame counts as played when it is
    // taken.
    const auto minute = ramp(std::size_t{44100} * 60 * 2);
    std::size_t offset = 0;
    for (const std::size_t chunk : {1u, 1000u, 4096u, 1u, 333u}) {
        QCOMPARE(sink.write(minute.data() + offset * 2, chunk), std::size_t{chunk});
        offset += chunk;
    }
    const std::size_t rest = minute.size() / 2 - offset;
    QCOMPARE(sink.write(minute.data() + offset * 2, rest), rest);

    QCOMPARE(sink.framesPlayed(), 44100 * 60);
    QCOMPARE(sink.framesQueued(), 0);
    QCOMPARE(sink.received(), minute);
}

void TestAudioSinkTest::capsEachWrite()
{
    TestAudioSink sink(TestAudioSink::Options().withMaxFramesPerWrite(100));
    QVERIFY(sink.open({48000, 2}).ok());
    const auto samples = ramp(250 * 2);
    QCOMPARE(sink.write(samples.data(), 250), 100u);
    QCOMPARE(sink.write(samples.data() + 200, 150), 100u);
    QCOMPARE(sink.write(samples.data() + 400, 50), 50u);
    QCOMPARE(sink.received(), samples);
    QCOMPARE(sink.framesPlayed(), 250);
}

void TestAudioSinkTest::failsToOpenWhenTold()
{
    TestAudioSink sink(TestAudioSink::Options().withFailToOpen());
    const auto opened = sink.open({44100, 2});
    QVERIFY(!opened.ok());
    QCOMPARE(opened.error().kind, ErrorKind::DeviceUnavailable);
    QVERIFY(!opened.error().message.isEmpty());
    QVERIFY(!sink.isOpen());
    QCOMPARE(sink.openCount(), 1);

    const auto samples = ramp(4);
    QCOMPARE(sink.write(samples.data(), 2), 0u);
    QVERIFY(sink.received().empty());
}

void TestAudioSinkTest::rejectsInvalidFormat()
{
    TestAudioSink sink;
    const auto opened = sink.open({0, 2});
    QVERIFY(!opened.ok());
    QCOMPARE(opened.error().kind, ErrorKind::UnsupportedFormat);
    QVERIFY(!sink.isOpen());
}

void TestAudioSinkTest::pauseHoldsFramesUntilResume()
{
    TestAudioSink sink;
    QVERIFY(sink.open({8000, 1}).ok());
    const auto before = ramp(10);
    QCOMPARE(sink.write(before.data(), 10), 10u);

    sink.setPaused(true);
    QVERIFY(sink.isPaused());
    const auto during = ramp(20, 100.0f);
    QCOMPARE(sink.write(during.data(), 20), 20u);
    QCOMPARE(sink.framesPlayed(), 10);
    QCOMPARE(sink.framesQueued(), 20);
    QCOMPARE(sink.received(), before);

    sink.setPaused(false);
    QCOMPARE(sink.framesPlayed(), 30);
    QCOMPARE(sink.framesQueued(), 0);
    auto expected = before;
    expected.insert(expected.end(), during.begin(), during.end());
    QCOMPARE(sink.received(), expected);
}

void TestAudioSinkTest::flushDropsHeldFramesAndRestartsClock()
{
    TestAudioSink sink;
    QVERIFY(sink.open({8000, 1}).ok());
    const auto played = ramp(5);
    QCOMPARE(sink.write(played.data(), 5), 5u);
    sink.setPaused(true);
    const auto dropped = ramp(7, 50.0f);
    QCOMPARE(sink.write(dropped.data(), 7), 7u);

    sink.flush();
    QCOMPARE(sink.flushCount(), 1);
    QCOMPARE(sink.framesPlayed(), 0);
    QCOMPARE(sink.framesQueued(), 0);

    sink.setPaused(false);
    const auto after = ramp(3, 90.0f);
    QCOMPARE(sink.write(after.data(), 3), 3u);
    QCOMPARE(sink.framesPlayed(), 3);
    auto expected = played;
    expected.insert(expected.end(), after.begin(), after.end());
    QCOMPARE(sink.received(), expected);
}

void TestAudioSinkTest::lostIsInjectedWithoutStoppingPlayback()
{
    TestAudioSink sink;
    QVERIFY(sink.open({8000, 1}).ok());
    QVERIFY(!sink.lost());
    sink.setLost(true);
    QVERIFY(sink.lost());
    const auto samples = ramp(4);
    QCOMPARE(sink.write(samples.data(), 4), 4u);
    QCOMPARE(sink.framesPlayed(), 4);
    sink.setLost(false);
    QVERIFY(!sink.lost());
}

void TestAudioSinkTest::reopenClearsRecord()
{
    TestAudioSink sink;
    QVERIFY(sink.open({8000, 1}).ok());
    const auto samples = ramp(4);
    QCOMPARE(sink.write(samples.data(), 4), 4u);
    sink.close();
    QVERIFY(!sink.isOpen());
    QCOMPARE(sink.framesPlayed(), 0);
    QCOMPARE(sink.write(samples.data(), 4), 0u);

    QVERIFY(sink.open({16000, 2}).ok());
    QCOMPARE(sink.openCount(), 2);
    QVERIFY(sink.received().empty());
    QCOMPARE(sink.write(samples.data(), 2), 2u);
    QCOMPARE(sink.received(), samples);
}

QTEST_GUILESS_MAIN(TestAudioSinkTest)
#include "TestAudioSinkTest.moc"
