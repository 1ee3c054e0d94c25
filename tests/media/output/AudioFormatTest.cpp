// Frame/time conversions the playback clock is built on.

#include "media/output/AudioFormat.h"

#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;
using zyr::media::AudioFormat;

class AudioFormatTest : public QObject {
    Q_OBJECT

private slots:
    void validityBounds();
    void framesInRoundsDown();
    void durationOfRoundsUpAndRoundTrips();
    void longDurationsDoNotOverflow();
    void invalidFormatOrNegativeInputGivesZero();
};

void AudioFormatTest::validityBounds()
{
    QVERIFY(AudioFormat({44100, 2}).isValid());
    QVERIFY(AudioFormat({AudioFormat::kMaxSampleRate, AudioFormat::kMaxChannels}).isValid());
    QVERIFY(!AudioFormat({}).isValid());
    QVERIFY(!AudioFormat({44100, 0}).isValid());
    QVERIFY(!AudioFormat({0, 2}).isValid());
    QVERIFY(!AudioFormat({-8000, 1}).isValid());
    QVERIFY(!AudioFormat({AudioFormat::kMaxSampleRate + 1, 2}).isValid());
    QVERIFY(!AudioFormat({44100, AudioFormat::kMaxChannels + 1}).isValid());
}

void AudioFormatTest::framesInRoundsDown()
{
    const AudioFormat cd{44100, 2};
    QCOMPARE(cd.framesIn(1s), 44100);
    QCOMPARE(cd.framesIn(250ms), 11025);
    // 1 ms at 44.1 kHz is 44.1 frames.
    QCOMPARE(cd.framesIn(1ms), 44);
    // One nanosecond short of a whole frame is not yet that frame.
    QCOMPARE(cd.framesIn(std::chrono::nanoseconds{22675}), 0);
    QCOMPARE(cd.framesIn(std::chrono::nanoseconds{22676}), 1);
    QCOMPARE(cd.framesIn(1s + 1ms), 44144);
}

void AudioFormatTest::durationOfRoundsUpAndRoundTrips()
{
    const AudioFormat cd{44100, 2};
    QCOMPARE(cd.durationOf(44100).count(), std::chrono::nanoseconds(1s).count());
    QCOMPARE(cd.durationOf(1).count(), 22676);
    for (const int rate : {8000, 11025, 22050, 44100, 48000, 96000, 192000}) {
        const AudioFormat format{rate, 1};
        for (const std::int64_t frames : {1LL, 7LL, 441LL, 1023LL, 48000LL, 1234567LL}) {
            const auto duration = format.durationOf(frames);
            QCOMPARE(format.framesIn(duration), frames);
            QCOMPARE(format.framesIn(duration - std::chrono::nanoseconds{1}), frames - 1);
        }
    }
}

void AudioFormatTest::longDurationsDoNotOverflow()
{
    // Ten hours at the highest rate: the naive nanoseconds * rate product exceeds 64 bits.
    const AudioFormat fastest{AudioFormat::kMaxSampleRate, 2};
    const std::int64_t frames = 10LL * 3600 * AudioFormat::kMaxSampleRate;
    QCOMPARE(fastest.framesIn(10h), frames);
    QCOMPARE(fastest.durationOf(frames).count(), std::chrono::nanoseconds(10h).count());
}

void AudioFormatTest::invalidFormatOrNegativeInputGivesZero()
{
    QCOMPARE(AudioFormat({}).framesIn(1s), 0);
    QCOMPARE(AudioFormat({}).durationOf(100).count(), 0);
    QCOMPARE(AudioFormat({48000, 2}).framesIn(-1s), 0);
    QCOMPARE(AudioFormat({48000, 2}).durationOf(-5).count(), 0);
}

QTEST_GUILESS_MAIN(AudioFormatTest)
#include "AudioFormatTest.moc"
