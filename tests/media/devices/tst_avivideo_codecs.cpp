// The AVIVideo device through the media device control on every kind of AVI the test writer
// makes: each video codec with and without sound, odd and even picture sizes, pixels that are
// not square, movies past half a minute, and sound shorter or longer than the pictures. The
// clock is the fast test sink, so a movie "plays" as fast as it decodes.

#include "media/devices/AviVideoDevice.h"
#include "media/devices/FfmpegPictureConverter.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/TestAudioSink.h"
#include "support/MovieWriter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace zyr::media;
using zyr::test::MovieAudio;
using zyr::test::MovieCodec;
using zyr::test::MovieOptions;
using zyr::test::MovieWriter;

Q_DECLARE_METATYPE(zyr::test::MovieOptions)
Q_DECLARE_METATYPE(zyr::test::MovieAudio)

namespace {

// Long enough for a second Done, queued right behind the first, to arrive.
constexpr int kQuietMs = 30;
// Once Done has come, the last picture is a few presentation ticks away, however late they come.
constexpr int kLastPictureMs = 10000;
// The tone the test writer puts in a movie is 0.3 at its peaks; anything above this is tone.
constexpr float kLoud = 0.02f;

// A video output that keeps what it would have shown: each picture's frame index (-1 when it
// cannot be read, with the reason) and its size.
class RecordingOutput : public VideoOutput {
public:
    QSize preparedSize;
    QList<int> shownIndexes;
    QList<QSize> shownSizes;
    QStringList unreadable;
    bool shown = false;

    void prepare(const QString &, QSize size) override { preparedSize = size; }
    void present(VideoPicture picture) override
    {
        const AVFrame &frame = *picture.frame;
        const QImage image =
            FfmpegPictureConverter().toImage(frame, QSize(frame.width, frame.height)).value();
        QString why;
        const int index = MovieWriter::readFrameIndex(image, &why);
        shownIndexes << index;
        shownSizes << image.size();
        if (index < 0)
            unreadable << why;
    }
    QSize pictureSize() const override { return preparedSize; }
    void setShown(bool s) override { shown = s; }
    bool isShown() const override { return shown; }
    void setCloseHandler(std::function<void()>) override {}
};

struct Rig {
    MediaControl control{MediaControlSettings::toPersisted(6243, 661, 1000, 0xFFFF)};
    RecordingOutput *output = nullptr;
    TestAudioSink *sink = nullptr;
    QList<int> done;
    int positionAtDone = -1;

    Rig()
    {
        DeviceContext context;
        context.sinks = [this] {
            auto s = std::make_unique<TestAudioSink>();
            sink = s.get();
            return s;
        };
        context.videoOutputs = [this] {
            auto o = std::make_unique<RecordingOutput>();
            output = o.get();
            return o;
        };
        control.setDeviceContext(std::move(context));
        control.put(MediaControl::kDeviceType, QStringLiteral("AVIVideo"));
        QObject::connect(&control, &MediaControl::done, &control, [this](int code) {
            done << code;
            positionAtDone = position();
        });
    }
    void open(const QString &path)
    {
        control.put(MediaControl::kFileName, path);
        control.put(MediaControl::kCommand, QStringLiteral("Open"));
    }
    void command(const char *c) { control.put(MediaControl::kCommand, QString::fromLatin1(c)); }
    // Read as a client reads them, through the properties.
    int error() { return std::get<std::int16_t>(control.get(MediaControl::kError)); }
    int length() { return std::get<std::int32_t>(control.get(MediaControl::kLength)); }
    int position() { return std::get<std::int32_t>(control.get(MediaControl::kPosition)); }
};

MovieOptions options(MovieCodec codec, MovieAudio audio, int rateNum, int rateDen, int frames)
{
    MovieOptions o;
    o.codec = codec;
    o.audio = audio;
    o.rateNum = rateNum;
    o.rateDen = rateDen;
    o.frames = frames;
    return o;
}

MovieOptions sized(MovieOptions o, QSize size)
{
    o.width = size.width();
    o.height = size.height();
    return o;
}

MovieOptions stretched(MovieOptions o, int sarNum, int sarDen)
{
    o.sarNum = sarNum;
    o.sarDen = sarDen;
    return o;
}

// A long movie kept cheap: tiny pictures and little sound (the fast sink keeps every sample).
MovieOptions cheap(MovieOptions o)
{
    o.audioRate = 8000;
    o.audioChannels = 1;
    return sized(o, QSize(32, 24));
}

// The time of frame `index` in whole milliseconds, to the nearest.
int frameMs(const MovieOptions &o, int index)
{
    return int(std::lround(double(index) * 1000.0 * o.rateDen / o.rateNum));
}

} // namespace

class TestAviVideoCodecs : public QObject {
    Q_OBJECT
private slots:
    void opensStepsAndPlays_data();
    void opensStepsAndPlays();
    void endsOnTheLastPictureWhenBehind_data();
    void endsOnTheLastPictureWhenBehind();
    void soundShorterOrLongerThanPictures_data();
    void soundShorterOrLongerThanPictures();

private:
    // Writes a movie; an empty name when this FFmpeg cannot encode it.
    QString movie(const MovieOptions &options, QString *why);
    QTemporaryDir m_dir;
    int m_written = 0;
};

QString TestAviVideoCodecs::movie(const MovieOptions &options, QString *why)
{
    if (!MovieWriter::canWrite(options, why))
        return {};
    const QString path = m_dir.filePath(QStringLiteral("movie%1.avi").arg(++m_written));
    if (!MovieWriter::write(path, options, why))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(*why));
    return path;
}

void TestAviVideoCodecs::opensStepsAndPlays_data()
{
    QTest::addColumn<MovieOptions>("movie");
    QTest::addColumn<QSize>("displaySize");
    QTest::addColumn<int>("lengthMs");
    const auto row = [](const char *name, const MovieOptions &movie, QSize displaySize,
                        int lengthMs) { QTest::newRow(name) << movie << displaySize << lengthMs; };
    using enum MovieCodec;
    using enum MovieAudio;

    // Every codec, once silent and once with a kind of sound; frame rates chosen so that the
    // lengths round down, up and from a half. (Rates whose picture time rounds down to a whole
    // millisecond are in endsOnTheLastPictureWhenBehind.)
    const QSize small(64, 48);
    row("MPEG-4 XVID, silent", options(Mpeg4Xvid, None, 15, 1, 20), small, 1333);
    row("MPEG-4 XVID, PCM", options(Mpeg4Xvid, Pcm16, 15, 1, 20), small, 1333);
    row("MPEG-4 DX50, silent", options(Mpeg4Divx, None, 25, 1, 30), small, 1200);
    row("MPEG-4 DX50, MP3", options(Mpeg4Divx, Mp3, 25, 1, 30), small, 1200);
    row("MJPEG, silent", options(Mjpeg, None, 10, 1, 12), small, 1200);
    row("MJPEG, IMA ADPCM", options(Mjpeg, ImaAdpcm, 10, 1, 12), small, 1200);
    row("MS Video 1, silent", options(MsVideo1, None, 15, 1, 22), small, 1467);
    row("MS Video 1, PCM", options(MsVideo1, Pcm16, 15, 1, 22), small, 1467);
    row("Cinepak, silent", options(Cinepak, None, 6, 1, 10), small, 1667);
    row("Cinepak, IMA ADPCM", options(Cinepak, ImaAdpcm, 6, 1, 10), small, 1667);
    row("raw, silent", options(RawVideo, None, 24, 1, 30), small, 1250);
    row("raw, MP3", options(RawVideo, Mp3, 24, 1, 30), small, 1250);
    row("Huffyuv, silent", options(HuffYuv, None, 16, 1, 25), small, 1563);
    row("Huffyuv, PCM", options(HuffYuv, Pcm16, 16, 1, 25), small, 1563);
    row("H.264, silent", options(H264, None, 25, 1, 25), small, 1000);
    row("H.264, MP3", options(H264, Mp3, 25, 1, 25), small, 1000);

    // Odd sizes where the encoder takes them; the next even size where it needs even widths
    // (Huffyuv's 4:2:2, x264's 4:2:0), the next multiples of 4 for MS Video 1 and Cinepak.
    const QSize odd(321, 241);
    const QSize even(322, 242);
    const QSize four(324, 244);
    row("MPEG-4 XVID, 321x241", sized(options(Mpeg4Xvid, None, 10, 1, 10), odd), odd, 1000);
    row("MJPEG, 321x241, PCM", sized(options(Mjpeg, Pcm16, 10, 1, 10), odd), odd, 1000);
    row("raw, 321x241", sized(options(RawVideo, None, 10, 1, 10), odd), odd, 1000);
    row("Huffyuv, 322x242", sized(options(HuffYuv, None, 10, 1, 10), even), even, 1000);
    row("H.264, 322x242, IMA ADPCM", sized(options(H264, ImaAdpcm, 10, 1, 10), even), even, 1000);
    row("MS Video 1, 324x244", sized(options(MsVideo1, None, 10, 1, 10), four), four, 1000);
    row("Cinepak, 324x244, MP3", sized(options(Cinepak, Mp3, 10, 1, 10), four), four, 1000);

    // Pixels that are not square: pictures come at the display size, the width stretched or
    // squeezed to the nearest even number, the height kept.
    row("MPEG-4 XVID, 2:1 pixels", stretched(options(Mpeg4Xvid, None, 10, 1, 10), 2, 1),
        QSize(128, 48), 1000);
    row("H.264, 4:3 pixels, PCM", stretched(options(H264, Pcm16, 10, 1, 10), 4, 3), QSize(86, 48),
        1000);
    row("MJPEG, 3:4 pixels", stretched(options(Mjpeg, None, 10, 1, 10), 3, 4), QSize(48, 48), 1000);
    row("raw, 2:1 pixels", stretched(options(RawVideo, None, 10, 1, 10), 2, 1), QSize(128, 48),
        1000);

    // Past 32767 and 65535 ms, at few pictures a second.
    const QSize tiny(32, 24);
    row("35 s, MPEG-4 DX50, PCM", cheap(options(Mpeg4Divx, Pcm16, 2, 1, 70)), tiny, 35000);
    row("140 s, MJPEG, MP3", cheap(options(Mjpeg, Mp3, 1, 1, 140)), tiny, 140000);
    row("128 s, H.264, silent", cheap(options(H264, None, 2, 1, 256)), tiny, 128000);
}

void TestAviVideoCodecs::opensStepsAndPlays()
{
    QFETCH(MovieOptions, movie);
    QFETCH(QSize, displaySize);
    QFETCH(int, lengthMs);
    QString why;
    const QString path = this->movie(movie, &why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));

    Rig rig;
    rig.open(path);
    QVERIFY2(rig.error() == 0, qPrintable(rig.control.errorMessage()));
    QCOMPARE(rig.length(), lengthMs);
    QVERIFY(rig.output);
    // The first picture, as soon as the worker has decoded it.
    QTRY_COMPARE(rig.output->shownIndexes, QList<int>{0});
    QCOMPARE(rig.output->preparedSize, displaySize);
    QCOMPARE(rig.output->shownSizes.first(), displaySize);

    rig.command("Step");
    QTRY_COMPARE(rig.output->shownIndexes, (QList<int>{0, 1}));
    QCOMPARE(rig.position(), frameMs(movie, 1));
    rig.command("Step");
    QTRY_COMPARE(rig.output->shownIndexes, (QList<int>{0, 1, 2}));
    QCOMPARE(rig.position(), frameMs(movie, 2));
    rig.command("Back");
    QTRY_COMPARE(rig.output->shownIndexes, (QList<int>{0, 1, 2, 1}));
    QCOMPARE(rig.position(), frameMs(movie, 1));

    const qsizetype beforePlay = rig.output->shownIndexes.size();
    rig.command("Play");
    QCOMPARE(rig.error(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.done.isEmpty(), 15000);
    // The movie ends on its last picture.
    QTRY_COMPARE_WITH_TIMEOUT(rig.output->shownIndexes.last(), movie.frames - 1, kLastPictureMs);
    QTest::qWait(kQuietMs);
    QCOMPARE(rig.done, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.positionAtDone, lengthMs);
    QCOMPARE(rig.position(), lengthMs);

    // Whatever playing showed came in order, none twice, each whole and at the display size.
    const QList<int> &shown = rig.output->shownIndexes;
    for (qsizetype i = beforePlay; i < shown.size(); ++i)
        QVERIFY2(shown[i] > shown[i - 1],
                 qPrintable(QStringLiteral("picture %1 after %2").arg(shown[i]).arg(shown[i - 1])));
    QVERIFY2(rig.output->unreadable.isEmpty(), qPrintable(rig.output->unreadable.join(u"; ")));
    for (const QSize &size : rig.output->shownSizes)
        QCOMPARE(size, displaySize);
}

void TestAviVideoCodecs::endsOnTheLastPictureWhenBehind_data()
{
    QTest::addColumn<int>("rateNum");
    QTest::addColumn<int>("rateDen");
    QTest::addColumn<int>("lengthMs");

    // Picture times of whole milliseconds, and ones that round up or down.
    QTest::newRow("10 fps") << 10 << 1 << 2000;
    QTest::newRow("25 fps") << 25 << 1 << 800;
    QTest::newRow("15 fps") << 15 << 1 << 1333;
    QTest::newRow("24 fps") << 24 << 1 << 833;
    QTest::newRow("12 fps") << 12 << 1 << 1667;
    QTest::newRow("30 fps") << 30 << 1 << 667;
    QTest::newRow("29.97 fps") << 30000 << 1001 << 667;
}

void TestAviVideoCodecs::endsOnTheLastPictureWhenBehind()
{
    // The fast clock leaves every picture behind from the first tick on, so all but the last
    // are passed over; when the sound ends, the last picture must still go up.
    QFETCH(int, rateNum);
    QFETCH(int, rateDen);
    QFETCH(int, lengthMs);
    const MovieOptions o = options(MovieCodec::Mpeg4Xvid, MovieAudio::None, rateNum, rateDen, 20);
    QString why;
    const QString path = movie(o, &why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));

    Rig rig;
    rig.open(path);
    QVERIFY2(rig.error() == 0, qPrintable(rig.control.errorMessage()));
    QCOMPARE(rig.length(), lengthMs);
    rig.command("Play");
    QTRY_VERIFY_WITH_TIMEOUT(!rig.done.isEmpty(), 10000);
    QCOMPARE(rig.positionAtDone, lengthMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig.output->shownIndexes.last(), o.frames - 1, kLastPictureMs);
}

void TestAviVideoCodecs::soundShorterOrLongerThanPictures_data()
{
    QTest::addColumn<MovieAudio>("audio");
    QTest::addColumn<int>("audioMs");
    // Steps taken before Play: where the movie starts playing from.
    QTest::addColumn<int>("steps");

    // How far the end of the tone may be from the end of the sound: PCM and ADPCM keep it to
    // the sample; an MP3 encoder's delay puts its sound some 50 ms late (AVI cannot say so).
    QTest::addColumn<int>("slackMs");

    QTest::newRow("PCM, 0.5 s") << MovieAudio::Pcm16 << 500 << 0 << 2;
    QTest::newRow("PCM, 3.5 s") << MovieAudio::Pcm16 << 3500 << 0 << 2;
    QTest::newRow("PCM, 0.15 s, from 0.3 s") << MovieAudio::Pcm16 << 150 << 3 << 2;
    QTest::newRow("PCM, 3.5 s, from 1.5 s") << MovieAudio::Pcm16 << 3500 << 15 << 2;
    QTest::newRow("IMA ADPCM, 0.3 s") << MovieAudio::ImaAdpcm << 300 << 0 << 2;
    QTest::newRow("IMA ADPCM, 2.6 s") << MovieAudio::ImaAdpcm << 2600 << 0 << 2;
    QTest::newRow("MP3, 0.7 s") << MovieAudio::Mp3 << 700 << 0 << 60;
    QTest::newRow("MP3, 3 s") << MovieAudio::Mp3 << 3000 << 0 << 60;
    QTest::newRow("MP3, 0.2 s, from 0.4 s") << MovieAudio::Mp3 << 200 << 4 << 60;
}

void TestAviVideoCodecs::soundShorterOrLongerThanPictures()
{
    QFETCH(MovieAudio, audio);
    QFETCH(int, audioMs);
    QFETCH(int, steps);
    QFETCH(int, slackMs);
    MovieOptions o = options(MovieCodec::Mpeg4Xvid, audio, 10, 1, 20); // two seconds
    o.audioMs = audioMs;
    constexpr int kLengthMs = 2000;
    QString why;
    const QString path = movie(o, &why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));

    Rig rig;
    rig.open(path);
    QVERIFY2(rig.error() == 0, qPrintable(rig.control.errorMessage()));
    QCOMPARE(rig.length(), kLengthMs);
    // Steps taken before the first picture has come go from it all the same.
    for (int i = 0; i < steps; ++i)
        rig.command("Step");
    QTRY_VERIFY(!rig.output->shownIndexes.isEmpty() && rig.output->shownIndexes.last() == steps);
    const int startMs = frameMs(o, steps);
    QCOMPARE(rig.position(), startMs);

    rig.command("Play");
    QTRY_VERIFY_WITH_TIMEOUT(!rig.done.isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.output->shownIndexes.last(), o.frames - 1, kLastPictureMs);
    QTest::qWait(kQuietMs);
    QCOMPARE(rig.done, QList<int>{MediaControl::kNotifySuccessful});
    QCOMPARE(rig.positionAtDone, kLengthMs);
    QCOMPARE(rig.position(), kLengthMs);

    // What was heard is the movie's length from the start point: the sound cut where the
    // pictures end, or followed by silence up to there.
    QVERIFY(rig.sink);
    const int rate = rig.sink->format().sampleRate;
    const int channels = rig.sink->format().channels;
    QCOMPARE(rate, o.audioRate);
    const std::vector<float> heard = rig.sink->received();
    const qint64 heardFrames = qint64(heard.size()) / channels;
    QCOMPARE(heardFrames, qint64(kLengthMs - startMs) * rate / 1000);
    qint64 lastLoud = -1;
    for (qint64 i = 0; i < qint64(heard.size()); ++i)
        if (std::abs(heard[std::size_t(i)]) > kLoud)
            lastLoud = i / channels;
    const int soundEndsMs = std::min(audioMs, kLengthMs);
    if (soundEndsMs <= startMs) {
        QCOMPARE(lastLoud, qint64(-1)); // started past the sound: silence throughout
    } else {
        // The tone stops where the sound ends, or the movie does.
        const qint64 lastLoudMs = startMs + lastLoud * 1000 / rate;
        QVERIFY2(std::abs(lastLoudMs - soundEndsMs) <= slackMs,
                 qPrintable(QStringLiteral("tone until %1 ms").arg(lastLoudMs)));
    }
}

QTEST_MAIN(TestAviVideoCodecs)
#include "tst_avivideo_codecs.moc"
