// Choosing the output at open time, and the application's default chain of SDL then silence.

#include "AudioFormatPrinting.h"

#include "media/output/AudioSinkFactory.h"
#include "media/output/FallbackAudioSink.h"
#include "media/output/TestAudioSink.h"

#include <QtTest>

#include <SDL.h>

#include <chrono>
#include <memory>
#include <vector>

using namespace std::chrono_literals;
using zyr::media::AudioFormat;
using zyr::media::AudioSinkFactory;
using zyr::media::ErrorKind;
using zyr::media::FallbackAudioSink;
using zyr::media::TestAudioSink;

namespace {

// A candidate that records the sinks it made, so the test can look at the one in use.
struct Candidate {
    TestAudioSink::Options options;
    int made = 0;
    TestAudioSink *last = nullptr;

    AudioSinkFactory factory()
    {
        return [this] {
            auto sink = std::make_unique<TestAudioSink>(options);
            ++made;
            last = sink.get();
            return sink;
        };
    }
};

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

class FallbackAudioSinkTest : public QObject {
    Q_OBJECT

private slots:
    void usesFirstCandidateThatOpens();
    void forwardsEveryCallToTheActiveOutput();
    void reportsEveryFailureWhenNoneOpens();
    void rejectsInvalidFormatWithoutTryingOutputs();
    void reopenTriesTheListAgain();
    void lostOutputGivesWayToOneThatReturns();
    void laterCandidateGivesWayToAnEarlierOneInTheSameFormat();
    void defaultFactoryPlaysThroughSdl();
    void defaultFactoryFallsBackToSilenceWithoutSdlDriver();
};

void FallbackAudioSinkTest::usesFirstCandidateThatOpens()
{
    Candidate broken{TestAudioSink::Options().withFailToOpen()};
    Candidate working{TestAudioSink::Options().withForcedFormat({48000, 2})};
    Candidate unused;
    FallbackAudioSink sink({broken.factory(), working.factory(), unused.factory()});
    QCOMPARE(sink.activeIndex(), -1);

    const auto opened = sink.open({44100, 1});
    QVERIFY(opened.ok());
    QCOMPARE(opened.value(), AudioFormat({48000, 2}));
    QCOMPARE(sink.activeIndex(), 1);
    QCOMPARE(broken.made, 1);
    QCOMPARE(working.made, 1);
    QCOMPARE(unused.made, 0);
    QCOMPARE(working.last->requestedFormat(), AudioFormat({44100, 1}));
}

void FallbackAudioSinkTest::forwardsEveryCallToTheActiveOutput()
{
    Candidate output;
    FallbackAudioSink sink({output.factory()});
    QVERIFY(sink.open({8000, 1}).ok());
    TestAudioSink *active = output.last;

    const float samples[4] = {1, 2, 3, 4};
    QCOMPARE(sink.write(samples, 2), 2u);
    QCOMPARE(sink.framesPlayed(), 2);
    sink.setPaused(true);
    QVERIFY(active->isPaused());
    QCOMPARE(sink.write(samples + 2, 2), 2u);
    QCOMPARE(sink.framesQueued(), 2);
    sink.flush();
    QCOMPARE(active->flushCount(), 1);
    QCOMPARE(sink.framesQueued(), 0);
    sink.setPaused(false);
    QVERIFY(!sink.lost());
    active->setLost(true);
    QVERIFY(sink.lost());
    QCOMPARE(active->received(), std::vector<float>({1, 2}));

    sink.close();
    QCOMPARE(sink.activeIndex(), -1);
    QCOMPARE(sink.write(samples, 2), 0u);
    QCOMPARE(sink.framesPlayed(), 0);
    QVERIFY(!sink.lost());
}

void FallbackAudioSinkTest::reportsEveryFailureWhenNoneOpens()
{
    Candidate first{TestAudioSink::Options().withFailToOpen()};
    Candidate second{TestAudioSink::Options().withFailToOpen()};
    FallbackAudioSink sink({first.factory(), AudioSinkFactory{}, second.factory()});
    const auto opened = sink.open({44100, 2});
    QVERIFY(!opened.ok());
    QCOMPARE(opened.error().kind, ErrorKind::DeviceUnavailable);
    QCOMPARE(first.made, 1);
    QCOMPARE(second.made, 1);
    QCOMPARE(opened.error().message.count(QStringLiteral("told to fail")), 2);
    QCOMPARE(sink.activeIndex(), -1);

    FallbackAudioSink empty({});
    const auto none = empty.open({44100, 2});
    QVERIFY(!none.ok());
    QCOMPARE(none.error().kind, ErrorKind::DeviceUnavailable);
}

void FallbackAudioSinkTest::rejectsInvalidFormatWithoutTryingOutputs()
{
    Candidate output;
    FallbackAudioSink sink({output.factory()});
    const auto opened = sink.open({44100, 0});
    QVERIFY(!opened.ok());
    QCOMPARE(opened.error().kind, ErrorKind::UnsupportedFormat);
    QCOMPARE(output.made, 0);
}

void FallbackAudioSinkTest::reopenTriesTheListAgain()
{
    Candidate output;
    FallbackAudioSink sink({output.factory()});
    QVERIFY(sink.open({8000, 1}).ok());
    QVERIFY(sink.open({16000, 2}).ok());
    QCOMPARE(output.made, 2);
    QCOMPARE(output.last->format(), AudioFormat({16000, 2}));
}

void FallbackAudioSinkTest::lostOutputGivesWayToOneThatReturns()
{
    Candidate output;
    std::chrono::steady_clock::time_point now{};
    FallbackAudioSink sink({output.factory()}, 20ms, [&now] { return now; });
    QVERIFY(sink.open({8000, 2}).ok());
    TestAudioSink *first = output.last;
    const float samples[4] = {1, 2, 3, 4};
    QCOMPARE(sink.write(samples, 2), 2u);
    sink.setPaused(true);

    // Lost: until the retry interval has passed, the lost output keeps the clock.
    first->setLost(true);
    now += 19ms;
    QCOMPARE(sink.write(samples, 1), 1u);
    QCOMPARE(output.made, 1);
    now += 1ms;
    QCOMPARE(sink.write(samples, 0), 0u); // every write looks for a better output first
    // A fresh output of the same kind took over, held as the old one was, the clock going on.
    QCOMPARE(output.made, 2);
    TestAudioSink *second = output.last;
    QVERIFY(second != first);
    QVERIFY(!sink.lost());
    QVERIFY(second->isPaused());
    QCOMPARE(second->format(), AudioFormat({8000, 2}));
    QCOMPARE(sink.framesPlayed(), 2);
    sink.setPaused(false);
    QCOMPARE(sink.write(samples + 2, 1), 1u);
    QCOMPARE(second->received(), std::vector<float>({3, 4}));
    QCOMPARE(sink.framesPlayed(), 3);
    sink.flush();
    QCOMPARE(sink.framesPlayed(), 0);
}

void FallbackAudioSinkTest::laterCandidateGivesWayToAnEarlierOneInTheSameFormat()
{
    // No device at open: the second candidate (the silent clock) plays. The first returns, but
    // in another format at first, which cannot take over in mid-sound; then in the same one.
    Candidate device{TestAudioSink::Options().withFailToOpen()};
    Candidate silence;
    std::chrono::steady_clock::time_point now{};
    FallbackAudioSink sink({device.factory(), silence.factory()}, 10ms, [&now] { return now; });
    QVERIFY(sink.open({44100, 2}).ok());
    QCOMPARE(sink.activeIndex(), 1);

    device.options = TestAudioSink::Options().withForcedFormat({48000, 2});
    now += 10ms;
    QCOMPARE(sink.write(nullptr, 0), 0u); // every write looks for a better output first
    QCOMPARE(device.made, 2);
    QCOMPARE(sink.activeIndex(), 1);

    device.options = TestAudioSink::Options();
    now += 10ms;
    const float samples[2] = {5, 6};
    QCOMPARE(sink.write(samples, 1), 1u);
    QCOMPARE(sink.activeIndex(), 0);
    QCOMPARE(device.last->received(), std::vector<float>({5, 6}));
    // No retries once the first candidate plays and is not lost.
    now += 10ms;
    QCOMPARE(sink.write(samples, 0), 0u);
    QCOMPARE(device.made, 3);
}

void FallbackAudioSinkTest::defaultFactoryPlaysThroughSdl()
{
    if (qgetenv("SDL_AUDIODRIVER") != "dummy") {
        QSKIP("Needs SDL_AUDIODRIVER=dummy, as set by the test environment");
    }
    const auto sink = zyr::media::defaultAudioSinkFactory()();
    auto *fallback = dynamic_cast<FallbackAudioSink *>(sink.get());
    QVERIFY(fallback != nullptr);
    QVERIFY(sink->open({44100, 2}).ok());
    QCOMPARE(fallback->activeIndex(), 0);
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), Uint32{SDL_INIT_AUDIO});
    sink->close();
    QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

void FallbackAudioSinkTest::defaultFactoryFallsBackToSilenceWithoutSdlDriver()
{
    const ScopedEnv driver("SDL_AUDIODRIVER", "zyr-no-such-driver");
    const auto sink = zyr::media::defaultAudioSinkFactory()();
    auto *fallback = dynamic_cast<FallbackAudioSink *>(sink.get());
    QVERIFY(fallback != nullptr);
    const auto opened = sink->open({44100, 2});
    QVERIFY(opened.ok());
    QCOMPARE(opened.value(), AudioFormat({44100, 2}));
    QCOMPARE(fallback->activeIndex(), 1);

    // The silent output keeps time: written audio is consumed, not kept forever.
    const std::vector<float> samples(441 * 2, 0.1f);
    QCOMPARE(sink->write(samples.data(), 441), 441u);
    QTRY_COMPARE_WITH_TIMEOUT(sink->framesPlayed(), 441, 10000);
    QCOMPARE(sink->framesQueued(), 0);
}

QTEST_GUILESS_MAIN(FallbackAudioSinkTest)
#include "FallbackAudioSinkTest.moc"
