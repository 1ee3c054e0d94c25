// The clock pictures are shown by: between the steps of the sound's clock it runs on with the
// wall clock, never behind the sound nor more than its lead ahead of it, and it takes the
// sound's clock at once when that stands, moves back or jumps ahead.

#include "media/devices/PresentationClock.h"

#include <QtTest>

#include <cstdlib>

using zyr::media::PresentationClock;

namespace {

// A steady clock that reads `ms`, which the test moves.
zyr::media::MonotonicClock wallClock(const std::int64_t &ms)
{
    return [&ms] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms)); };
}

} // namespace

class TestPresentationClock : public QObject {
    Q_OBJECT
private slots:
    void runsOnBetweenTheSoundsSteps();
    void takesTheSoundWhenItStandsOrJumps();
    void waitsForASoundThatStalls();
};

void TestPresentationClock::runsOnBetweenTheSoundsSteps()
{
    // The sound moves in 20 ms steps; the true time is the wall clock. Looked at every 7 ms,
    // the presentation clock is much nearer the true time than the steps are.
    constexpr std::int64_t kStepMs = 20;
    std::int64_t wall = 1000;
    PresentationClock clock(wallClock(wall));
    double stepError = 0;
    double clockError = 0;
    int looks = 0;
    for (std::int64_t t = 0; t < 5000; t += 7, ++looks) {
        wall = 1000 + t;
        const std::int64_t sound = t / kStepMs * kStepMs;
        const std::int64_t shown = clock.now(sound, true);
        QVERIFY2(shown >= sound && shown <= sound + PresentationClock::kMaxLeadMs,
                 qPrintable(
                     QStringLiteral("at %1 ms: sound %2, clock %3").arg(t).arg(sound).arg(shown)));
        stepError += double(std::llabs(sound - t));
        clockError += double(std::llabs(shown - t));
    }
    stepError /= looks;
    clockError /= looks;
    QVERIFY2(stepError > 8, qPrintable(QString::number(stepError)));
    QVERIFY2(clockError < stepError / 2, qPrintable(QStringLiteral("mean error %1 ms, the "
                                                                   "steps' %2 ms")
                                                        .arg(clockError)
                                                        .arg(stepError)));
}

void TestPresentationClock::takesTheSoundWhenItStandsOrJumps()
{
    std::int64_t wall = 0;
    PresentationClock clock(wallClock(wall));
    QCOMPARE(clock.now(500, false), 500);
    wall += 300;
    QCOMPARE(clock.now(500, false), 500); // paused: the wall clock does not move it
    QCOMPARE(clock.now(500, true), 500);
    wall += 10;
    QCOMPARE(clock.now(500, true), 510); // runs on between steps
    wall += 5;
    QCOMPARE(clock.now(200, true), 200); // a seek back
    wall += 5;
    QCOMPARE(clock.now(4000, true), 4000); // a seek ahead
    wall += 5;
    QCOMPARE(clock.now(4000, false), 4000); // paused again
}

void TestPresentationClock::waitsForASoundThatStalls()
{
    std::int64_t wall = 0;
    PresentationClock clock(wallClock(wall));
    QCOMPARE(clock.now(100, true), 100);
    for (int i = 0; i < 100; ++i) {
        wall += 10;
        const std::int64_t shown = clock.now(100, true);
        QVERIFY(shown >= 100 && shown <= 100 + PresentationClock::kMaxLeadMs);
    }
    // When the sound moves again, the clock goes with it.
    wall += 10;
    QCOMPARE(clock.now(300, true), 300);
}

QTEST_APPLESS_MAIN(TestPresentationClock)
#include "tst_presentationclock.moc"
