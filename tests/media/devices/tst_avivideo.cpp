// The AVIVideo device through the media device control, on movies the tests write: lengths,
// pictures shown in order against the clock, the first picture at once, Step and Back, the
// window closed pausing, movies with and without sound, files refused.

#include "media/devices/AviVideoDevice.h"
#include "media/devices/FfmpegPictureConverter.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/ForwardingAudioSink.h"
#include "media/output/SilentAudioSink.h"
#include "media/output/TestAudioSink.h"
#include "support/MovieWriter.h"
#include "support/WavWriter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <numeric>

using namespace zyr::media;
using zyr::test::MovieAudio;
using zyr::test::MovieCodec;
using zyr::test::MovieOptions;
using zyr::test::MovieWriter;

Q_DECLARE_METATYPE(zyr::test::MovieCodec)
Q_DECLARE_METATYPE(zyr::test::MovieAudio)

namespace {

constexpr int kTimeoutMs = 15000;

// A video output that keeps what it would have shown.
class RecordingOutput : public VideoOutput {
public:
    QString title;
    QSize size;
    QList<int> shownIndexes;
    bool shown = false;
    std::function<void()> onClose;

    void prepare(const QString &t, QSize s) override
    {
        title = t;
        size = s;
    }
    void present(VideoPicture picture) override
    {
        const AVFrame &frame = *picture.frame;
        shownIndexes << MovieWriter::readFrameIndex(
            FfmpegPictureConverter().toImage(frame, QSize(frame.width, frame.height)).value());
    }
    QSize pictureSize() const override { return size; }
    void setShown(bool s) override { shown = s; }
    bool isShown() const override { return shown; }
    void setCloseHandler(std::function<void()> h) override { onClose = std::move(h); }
};

// An output whose clock the test moves by hand: it takes every frame at once, as the test
// output does, but counts frames as played only up to the time the test has let pass.
class SteppedOutput final : public ForwardingAudioSink {
public:
    explicit SteppedOutput(std::shared_ptr<std::atomic<std::int64_t>> passedMs)
        : ForwardingAudioSink(std::make_unique<TestAudioSink>()), m_passedMs(std::move(passedMs))
    {
    }
    Result<AudioFormat> open(AudioFormat requested) override
    {
        const Result<AudioFormat> opened = ForwardingAudioSink::open(requested);
        m_rate = opened.ok() ? opened.value().sampleRate : 0;
        return opened;
    }
    std::int64_t framesPlayed() const override
    {
        return std::min(ForwardingAudioSink::framesPlayed(), *m_passedMs * m_rate / 1000);
    }
    std::int64_t framesQueued() const override
    {
        return ForwardingAudioSink::framesPlayed() - framesPlayed();
    }

private:
    std::shared_ptr<std::atomic<std::int64_t>> m_passedMs;
    std::atomic<std::int64_t> m_rate{0};
};

// The sound that is the movie's clock: played as fast as it is written, in real time, or as
// the test moves it.
enum class Clock { Fast, RealTime, Stepped };

struct Rig {
    MediaControl control{MediaControlSettings::toPersisted(6243, 661, 1000, 0xFFFF)};
    RecordingOutput *output = nullptr;
    QList<int> done;
    std::shared_ptr<std::atomic<std::int64_t>> passedMs =
        std::make_shared<std::atomic<std::int64_t>>(0);

    explicit Rig(Clock clock)
    {
        DeviceContext context;
        if (clock == Clock::Fast)
            context.sinks = [] { return std::make_unique<TestAudioSink>(); };
        else if (clock == Clock::Stepped)
            context.sinks = [passed = passedMs] { return std::make_unique<SteppedOutput>(passed); };
        else
            context.sinks = [] { return std::make_unique<SilentAudioSink>(); };
        context.videoOutputs = [this] {
            auto o = std::make_unique<RecordingOutput>();
            output = o.get();
            return o;
        };
        control.setDeviceContext(std::move(context));
        control.put(MediaControl::kDeviceType, QStringLiteral("AVIVideo"));
        QObject::connect(&control, &MediaControl::done, &control, [this](int c) { done << c; });
    }
    void open(const QString &path)
    {
        control.put(MediaControl::kFileName, path);
        control.put(MediaControl::kCommand, QStringLiteral("Open"));
    }
    void command(const char *c) { control.put(MediaControl::kCommand, QString::fromLatin1(c)); }
};

} // namespace

class TestAviVideo : public QObject {
    Q_OBJECT
private slots:
    void playsToTheEndInStep_data();
    void playsToTheEndInStep();
    void stepAndBackMoveOnePicture();
    void closingTheWindowPauses();
    void restsWhileStandingStill();
    void damagedFirstPictureFailsThePlay();
    void refusedFiles_data();
    void refusedFiles();

private:
    QString movie(const QString &name, const MovieOptions &options);
    QTemporaryDir m_dir;
};

QString TestAviVideo::movie(const QString &name, const MovieOptions &options)
{
    QString why;
    if (!MovieWriter::canWrite(options, &why))
        return {};
    const QString path = m_dir.filePath(name);
    if (!MovieWriter::write(path, options, &why))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(why));
    return path;
}

void TestAviVideo::playsToTheEndInStep_data()
{
    QTest::addColumn<MovieCodec>("codec");
    QTest::addColumn<MovieAudio>("audio");
    // Play at once: before the first pictures are there, which the sound waits for.
    QTest::addColumn<bool>("playAtOnce");
    QTest::newRow("MPEG-4, no sound") << MovieCodec::Mpeg4Xvid << MovieAudio::None << false;
    QTest::newRow("MPEG-4, PCM") << MovieCodec::Mpeg4Xvid << MovieAudio::Pcm16 << false;
    QTest::newRow("MJPEG, ADPCM") << MovieCodec::Mjpeg << MovieAudio::ImaAdpcm << false;
    QTest::newRow("MPEG-4, PCM, Play at once")
        << MovieCodec::Mpeg4Xvid << MovieAudio::Pcm16 << true;
}

void TestAviVideo::playsToTheEndInStep()
{
    QFETCH(MovieCodec, codec);
    QFETCH(MovieAudio, audio);
    QFETCH(bool, playAtOnce);
    MovieOptions o;
    o.codec = codec;
    o.audio = audio;
    o.rateNum = 20;
    o.frames = 20; // one second
    const QString path = movie(QStringLiteral("movie.avi"), o);
    if (path.isEmpty())
        QSKIP("no encoder for this row");

    Rig rig(Clock::Stepped);
    rig.open(path);
    QCOMPARE(rig.control.error(), 0);
    QCOMPARE(rig.control.length(), 1000);
    QVERIFY(rig.output);
    // Open returns before the first picture is decoded; the window comes with that picture.
    QVERIFY(!rig.output->shown);
    QVERIFY(rig.output->shownIndexes.isEmpty());
    if (playAtOnce) {
        rig.command("Play");
        QCOMPARE(rig.control.error(), 0);
    }
    QTRY_VERIFY(!rig.output->shownIndexes.isEmpty());
    QCOMPARE(rig.output->shownIndexes.first(), 0);
    QCOMPARE(rig.output->title, QStringLiteral("movie.avi"));
    QCOMPARE(rig.output->size, QSize(64, 48));
    QVERIFY(rig.output->shown);

    if (!playAtOnce)
        rig.command("Play");
    // The sound moves on a picture at a time, and each picture is shown when its time comes,
    // however slowly the machine gets there; the pictures' clock runs on between the sound's
    // steps, but never more than a step (here a picture) ahead.
    for (int i = 1; i < 20; ++i) {
        *rig.passedMs = i * 50;
        QTRY_VERIFY_WITH_TIMEOUT(rig.output->shownIndexes.last() >= i, kTimeoutMs);
        QVERIFY(rig.output->shownIndexes.last() <= i + 1);
    }
    *rig.passedMs = 2000;
    QTRY_COMPARE_WITH_TIMEOUT(rig.done, QList<int>{MediaControl::kNotifySuccessful}, kTimeoutMs);
    QCOMPARE(rig.control.position(), rig.control.length());
    // Every picture once, in order.
    QList<int> every(20);
    std::iota(every.begin(), every.end(), 0);
    QCOMPARE(rig.output->shownIndexes, every);
}

void TestAviVideo::stepAndBackMoveOnePicture()
{
    MovieOptions o;
    o.rateNum = 10;
    o.frames = 10;
    o.keyInterval = 5;
    const QString path = movie(QStringLiteral("steps.avi"), o);
    Rig rig(Clock::Fast);
    rig.open(path);
    QCOMPARE(rig.control.error(), 0);
    QTRY_COMPARE(rig.output->shownIndexes, QList<int>{0});
    rig.command("Step");
    QTRY_COMPARE(rig.output->shownIndexes.last(), 1);
    QCOMPARE(rig.control.position(), 100);
    rig.command("Step");
    rig.command("Step");
    QTRY_COMPARE(rig.output->shownIndexes.last(), 3);
    rig.command("Back");
    QTRY_COMPARE(rig.output->shownIndexes.last(), 2);
    QCOMPARE(rig.control.position(), 200);
    // Stepping while playing holds the movie there.
    rig.command("Play");
    rig.command("Step");
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    QVERIFY(rig.done.isEmpty());
}

void TestAviVideo::closingTheWindowPauses()
{
    MovieOptions o;
    o.rateNum = 10;
    o.frames = 30;
    Rig rig(Clock::RealTime);
    rig.open(movie(QStringLiteral("close.avi"), o));
    rig.command("Play");
    QTRY_VERIFY_WITH_TIMEOUT(rig.control.position() > 0, kTimeoutMs);
    rig.output->shown = false;
    rig.output->onClose(); // the user closes the window
    QCOMPARE(rig.control.mode(), ControlMode::Paused);
    const std::int32_t held = rig.control.position();
    QTest::qWait(150);
    QCOMPARE(rig.control.position(), held);
    rig.command("Play"); // shows the window again and plays on
    QVERIFY(rig.output->shown);
    QTRY_VERIFY(rig.control.position() > held);
}

void TestAviVideo::restsWhileStandingStill()
{
    // A movie that stands still costs the UI thread nothing; a step still shows its picture.
    MovieOptions o;
    o.rateNum = 10;
    o.frames = 30;
    Rig rig(Clock::RealTime);
    AviVideoDevice *device = nullptr;
    DeviceContext context;
    context.sinks = [] { return std::make_unique<SilentAudioSink>(); };
    context.makeDevice = [&](const QString &) -> std::unique_ptr<MediaDevice> {
        auto d =
            std::make_unique<AviVideoDevice>([] { return std::make_unique<SilentAudioSink>(); },
                                             [&rig] {
                                                 auto out = std::make_unique<RecordingOutput>();
                                                 rig.output = out.get();
                                                 return out;
                                             });
        device = d.get();
        return d;
    };
    rig.control.setDeviceContext(std::move(context));
    rig.open(movie(QStringLiteral("still.avi"), o));
    QVERIFY(device);
    QVERIFY(!device->isPresenting());
    rig.command("Play");
    QVERIFY(device->isPresenting());
    QTest::qWait(150);
    rig.command("Pause");
    QTRY_VERIFY_WITH_TIMEOUT(!device->isPresenting(), kTimeoutMs);
    const qsizetype shown = rig.output->shownIndexes.size();
    rig.command("Step");
    QTRY_COMPARE(rig.output->shownIndexes.size(), shown + 1);
    QTRY_VERIFY(!device->isPresenting());
}

void TestAviVideo::damagedFirstPictureFailsThePlay()
{
    // Cinepak refuses a frame whose header announces more data than the packet holds. The
    // headers are sound, so the movie opens; its first play ends in failure, with no window.
    MovieOptions o;
    o.codec = MovieCodec::Cinepak;
    o.rateNum = 10;
    o.frames = 30; // long enough in real time for the worker to find the damage first
    QString why;
    if (!MovieWriter::canWrite(o, &why))
        QSKIP(qPrintable(why));
    const QString path = m_dir.filePath(QStringLiteral("damaged.avi"));
    const std::optional<zyr::test::WrittenMovie> written = MovieWriter::write(path, o, &why);
    QVERIFY2(written && !written->videoPayloadOffsets.empty(), qPrintable(why));
    // Bytes 1..3 of a Cinepak frame hold its size.
    QVERIFY(zyr::test::WavWriter::overwrite(path, written->videoPayloadOffsets.front() + 1,
                                            QByteArray(3, char(0xff))));

    Rig rig(Clock::RealTime);
    rig.open(path);
    QCOMPARE(rig.control.error(), 0);
    QVERIFY(rig.output);
    rig.command("Play");
    QTRY_COMPARE(rig.done, QList<int>{MediaControl::kNotifyFailure});
    QVERIFY(rig.control.error() > 0);
    QVERIFY2(rig.control.errorMessage().contains(QStringLiteral("damaged.avi")),
             qPrintable(rig.control.errorMessage()));
    QCOMPARE(rig.control.mode(), ControlMode::Stopped);
    QVERIFY(!rig.output->shown);
    QVERIFY(rig.output->shownIndexes.isEmpty());
    // And so does the next one.
    rig.command("Play");
    QTRY_COMPARE(rig.done.size(), 2);
    QCOMPARE(rig.done.last(), MediaControl::kNotifyFailure);
}

void TestAviVideo::refusedFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("sound only") << "wav";
    QTest::newRow("still picture") << "png";
    QTest::newRow("text") << "txt";
    QTest::newRow("missing") << "missing";
}

void TestAviVideo::refusedFiles()
{
    QFETCH(QString, kind);
    const QString path = m_dir.filePath(QStringLiteral("refused.") + kind);
    if (kind == QLatin1String("wav"))
        QVERIFY(zyr::test::WavWriter::write(path, zyr::test::WavOptions{}));
    else if (kind == QLatin1String("png"))
        QVERIFY(zyr::test::WavWriter::writePicture(path, "PNG"));
    else if (kind == QLatin1String("txt"))
        QVERIFY(zyr::test::WavWriter::writeText(path));
    Rig rig(Clock::Fast);
    rig.open(path);
    QVERIFY(rig.control.error() > 0);
    QVERIFY(!rig.control.errorMessage().isEmpty());
    QCOMPARE(rig.control.mode(), ControlMode::NoDevice);
    QVERIFY(rig.output == nullptr); // no window for a refused file
}

QTEST_MAIN(TestAviVideo)
#include "tst_avivideo.moc"
