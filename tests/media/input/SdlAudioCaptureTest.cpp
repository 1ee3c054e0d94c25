// SDL's default input through the capture the kit records with, on the driver the environment
// names (SDL's dummy driver in the test run: an input that delivers silence at real time), and
// the application's capture factory.

#include "media/input/SdlAudioCapture.h"
#include "media/input/AudioCaptureFactory.h"

#include <QElapsedTimer>
#include <QtTest>

#include <chrono>
#include <vector>

using namespace std::chrono_literals;
using namespace zyr::media;

class SdlAudioCaptureTest : public QObject {
    Q_OBJECT
private slots:
    void capturesInTheFormatAskedForAtRealTime();
    void heldInputDeliversNothing();
    void refusesAnInvalidFormatAndReadsNothingClosed();
    void factoryFindsTheInputAndMakesCaptures();
};

void SdlAudioCaptureTest::capturesInTheFormatAskedForAtRealTime()
{
    SdlAudioCapture capture;
    const AudioFormat format{22050, 2};
    QVERIFY(capture.open(format).ok());
    // The clock starts before the input runs, so everything it delivers falls within the time
    // measured; waiting is bounded only by a timeout no loaded machine comes near.
    QElapsedTimer clock;
    clock.start();
    capture.setPaused(false);
    std::vector<float> buffer(4096 * 2, 1.0f);
    const std::int64_t wanted = format.framesIn(400ms);
    std::int64_t frames = 0;
    while (frames < wanted && clock.elapsed() < 30000) {
        if (capture.waitForFrames(50ms))
            frames += static_cast<std::int64_t>(capture.read(buffer.data(), 4096));
    }
    const auto took = std::chrono::milliseconds(clock.elapsed());
    capture.close();
    // At real time, not as fast as possible: no more than the time taken holds, give or take
    // the periods SDL hands over whole.
    QVERIFY2(frames >= wanted, qPrintable(QString::number(frames)));
    QVERIFY2(frames <= format.framesIn(took) + 2 * SdlAudioCapture::kPeriodFrames,
             qPrintable(QStringLiteral("%1 frames in %2 ms").arg(frames).arg(took.count())));
    QCOMPARE(buffer.front(), 0.0f); // the dummy input is silent
    QCOMPARE(capture.framesDropped(), 0);
    QVERIFY(!capture.lost());
}

void SdlAudioCaptureTest::heldInputDeliversNothing()
{
    SdlAudioCapture capture;
    QVERIFY(capture.open({8000, 1}).ok());
    // Opened held: nothing arrives until it runs.
    QVERIFY(!capture.waitForFrames(150ms));
    capture.setPaused(false);
    QVERIFY(capture.waitForFrames(10s));
}

void SdlAudioCaptureTest::refusesAnInvalidFormatAndReadsNothingClosed()
{
    SdlAudioCapture capture;
    const Result<void> refused = capture.open({0, 2});
    QVERIFY(!refused.ok());
    QVERIFY(!refused.error().message.isEmpty());
    float sample = 0;
    QCOMPARE(capture.read(&sample, 1), std::size_t(0));
    QVERIFY(!capture.waitForFrames(0ms));
}

void SdlAudioCaptureTest::factoryFindsTheInputAndMakesCaptures()
{
    const AudioCaptureFactory factory = defaultAudioCaptureFactory();
    QVERIFY(bool(factory));
    QVERIFY(factory.available()); // the dummy driver has a default input
    std::unique_ptr<AudioCapture> capture = factory.make();
    QVERIFY(capture);
    QVERIFY(capture->open({44100, 1}).ok());
    capture->close();
}

QTEST_MAIN(SdlAudioCaptureTest)
#include "SdlAudioCaptureTest.moc"
