// Reading audio CDs: tables of contents from cue/bin images, the audio tracks played in order
// with the data tracks left out, seeks to exact samples, output formats, the virtual tray of an
// image, images shorter than their cue sheets, a machine without a drive, and what the source
// does with sectors a drive cannot read (through a drive that fails on purpose).
//
// Every image carries CdImageWriter's signal, in which each sample names its sector and frame,
// so every check below is exact to the sample.

#include "media/devices/CdAudioSource.h"
#include "media/devices/LibcdioDrive.h"
#include "support/CdImageWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <future>
#include <map>
#include <set>
#include <thread>

using namespace zyr::media;
using zyr::test::CdImageOptions;
using zyr::test::CdImageTrack;
using zyr::test::CdImageWriter;
using zyr::test::WrittenCdImage;

Q_DECLARE_METATYPE(zyr::media::ErrorKind)
Q_DECLARE_METATYPE(zyr::media::LibcdioDrive::ReadMethod)

namespace {

constexpr int kFramesPerSector = CdToc::kFramesPerSector;
// Reads in chunks that do not divide a sector, so chunk and sector edges fall apart.
constexpr std::size_t kChunkFrames = 1000;
// Put where a read is to write, so that samples it leaves out show.
constexpr float kUnwritten = 12345.0f;
// Far more than any disc here takes to read, even under the sanitizers.
constexpr std::chrono::seconds kReadLimit{20};

// "A160 D150 A75": an audio track of 160 sectors, a data track of 150, an audio track of 75.
CdImageOptions layout(const QString &tracks, std::int32_t missingSectors = 0)
{
    CdImageOptions options;
    options.missingSectors = missingSectors;
    for (const QString &track : tracks.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        options.tracks.push_back({track.front() == QLatin1Char('A'), track.mid(1).toInt()});
    return options;
}

// The disc sectors of the audio tracks in the order a player plays them.
std::vector<std::int32_t> playOrder(const CdImageOptions &options)
{
    std::vector<std::int32_t> order;
    std::int32_t sector = 0;
    for (const CdImageTrack &track : options.tracks) {
        for (std::int32_t i = 0; i < track.sectors; ++i, ++sector) {
            if (track.audio)
                order.push_back(sector);
        }
    }
    return order;
}

// Runs `work` on a thread of its own and gives up on the whole test run if it has not
// finished within `limit`: a hang must show as a failure, not as a test that never ends.
template <typename Work> auto finishWithin(std::chrono::seconds limit, Work work)
{
    using Value = decltype(work());
    std::packaged_task<Value()> task(std::move(work));
    std::future<Value> result = task.get_future();
    std::thread worker(std::move(task));
    if (result.wait_for(limit) != std::future_status::ready) {
        worker.detach();
        qFatal("reading the disc did not finish within %lld s", qlonglong(limit.count()));
    }
    worker.join();
    return result.get();
}

struct ReadOutcome {
    std::vector<float> samples;
    std::optional<MediaError> error;
    bool endRepeats = false; // after the end, another read() gave 0 frames again
};

// Reads `source` from where it stands until its end or a failure, within kReadLimit.
ReadOutcome readAll(AudioSource &source, int channels, std::size_t chunkFrames = kChunkFrames)
{
    return finishWithin(kReadLimit, [&source, channels, chunkFrames] {
        ReadOutcome outcome;
        std::vector<float> chunk(chunkFrames * std::size_t(channels));
        for (;;) {
            std::fill(chunk.begin(), chunk.end(), kUnwritten);
            const Result<std::size_t> got = source.read(chunk.data(), chunkFrames);
            if (!got.ok()) {
                outcome.error = got.error();
                break;
            }
            if (got.value() == 0) {
                const Result<std::size_t> again = source.read(chunk.data(), chunkFrames);
                outcome.endRepeats = again.ok() && again.value() == 0;
                break;
            }
            outcome.samples.insert(outcome.samples.end(), chunk.begin(),
                                   chunk.begin() + std::ptrdiff_t(got.value()) * channels);
        }
        return outcome;
    });
}

// Where stereo `samples` first differ from the disc's signal at play-order frames from
// `firstFrame` on; empty when they match. Sectors in `silent` must be silence instead.
QString mismatch(const std::vector<float> &samples, const std::vector<std::int32_t> &order,
                 std::int64_t firstFrame, const std::set<std::int32_t> &silent = {})
{
    const std::size_t frames = samples.size() / 2;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int64_t frame = firstFrame + std::int64_t(i);
        if (frame >= std::int64_t(order.size()) * kFramesPerSector)
            return QStringLiteral("frame %1 is past the end of the audio").arg(frame);
        const std::int32_t sector = order[std::size_t(frame / kFramesPerSector)];
        const int inSector = int(frame % kFramesPerSector);
        for (int channel = 0; channel < 2; ++channel) {
            const float expected = silent.count(sector) != 0
                                       ? 0.0f
                                       : CdImageWriter::floatSampleAt(sector, inSector, channel);
            const float got = samples[2 * i + std::size_t(channel)];
            if (got != expected) {
                return QStringLiteral("frame %1 (sector %2, frame %3), channel %4: %5, not %6")
                    .arg(frame)
                    .arg(sector)
                    .arg(inSector)
                    .arg(channel)
                    .arg(double(got) * 32768)
                    .arg(double(expected) * 32768);
            }
        }
    }
    return {};
}

QString describe(const MediaError &error)
{
    return QStringLiteral("kind %1: %2").arg(int(error.kind)).arg(error.message);
}

// What a read gave, to compare: its frame count, or its error.
QString outcomeOf(const Result<std::size_t> &got)
{
    return got.ok() ? QString::number(got.value()) : describe(got.error());
}

// A drive with a disc of CdImageWriter's signal in memory whose sectors fail on demand.
class FakeDrive : public CdDrive {
public:
    struct Call {
        std::int32_t sector;
        int count;
    };

    CdToc toc;
    std::set<std::int32_t> bad;        // fail with `badError` every time they are read
    std::map<std::int32_t, int> flaky; // fail this many times, then read
    // A read fails as a whole when any sector in it fails (as a plain drive read does),
    // instead of returning the sectors before the failing one.
    bool wholeReadFails = false;
    MediaError badError{ErrorKind::FileUnreadable, QStringLiteral("sector unreadable")};
    std::optional<MediaError> openError;
    std::vector<Call> calls;

    QString source() const override { return QStringLiteral("fake"); }
    Result<CdToc> readToc() override { return toc; }
    Result<std::unique_ptr<SectorReader>> openReader() override
    {
        if (openError)
            return *openError;
        return std::unique_ptr<SectorReader>(std::make_unique<Reader>(*this));
    }
    Result<void> openTray() override { return {}; }
    Result<void> closeTray() override { return {}; }

private:
    class Reader : public SectorReader {
    public:
        explicit Reader(FakeDrive &drive) : m_drive(drive) {}
        Result<int> readSectors(std::int32_t first, int count, std::int16_t *dst) override
        {
            m_drive.calls.push_back({first, count});
            for (int i = 0; i < count; ++i) {
                const std::int32_t sector = first + i;
                const auto flaky = m_drive.flaky.find(sector);
                const bool fails = m_drive.bad.count(sector) != 0 ||
                                   (flaky != m_drive.flaky.end() && flaky->second-- > 0);
                if (fails) {
                    if (i > 0 && !m_drive.wholeReadFails)
                        return i;
                    return m_drive.badError;
                }
                for (int frame = 0; frame < kFramesPerSector; ++frame) {
                    const std::ptrdiff_t at =
                        std::ptrdiff_t(i) * CdToc::kSamplesPerSector + 2 * frame;
                    dst[at] = CdImageWriter::sampleAt(sector, frame, 0);
                    dst[at + 1] = CdImageWriter::sampleAt(sector, frame, 1);
                }
            }
            return count;
        }

    private:
        FakeDrive &m_drive;
    };
};

// A fake disc of one audio track of `sectors` sectors from sector 0.
std::shared_ptr<FakeDrive> fakeDisc(std::int32_t sectors)
{
    auto drive = std::make_shared<FakeDrive>();
    drive->toc.tracks.push_back({1, 0, sectors, true});
    return drive;
}

std::set<std::int32_t> sectorRange(std::int32_t first, std::int32_t count)
{
    std::set<std::int32_t> sectors;
    for (std::int32_t i = 0; i < count; ++i)
        sectors.insert(first + i);
    return sectors;
}

} // namespace

class TestCdReading : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void trackList_data();
    void trackList();
    void tocErrors_data();
    void tocErrors();
    void playsAudioTracksInOrder_data();
    void playsAudioTracksInOrder();
    void seeksLandExactly_data();
    void seeksLandExactly();
    void outputFormats_data();
    void outputFormats();
    void imageShorterThanItsToc_data();
    void imageShorterThanItsToc();
    void virtualTray();
    void noDriveOnThisMachine_data();
    void noDriveOnThisMachine();
    void unreadableSectors_data();
    void unreadableSectors();
    void failuresEndPlayback_data();
    void failuresEndPlayback();

private:
    WrittenCdImage writeImage(const QString &name, const CdImageOptions &options);
    QTemporaryDir m_dir;
};

void TestCdReading::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

WrittenCdImage TestCdReading::writeImage(const QString &name, const CdImageOptions &options)
{
    QString error;
    const std::optional<WrittenCdImage> image =
        CdImageWriter::write(m_dir.filePath(name + QStringLiteral(".cue")), options, &error);
    if (!image)
        qFatal("cannot write the test image %s: %s", qPrintable(name), qPrintable(error));
    return *image;
}

void TestCdReading::trackList_data()
{
    QTest::addColumn<QString>("tracks");
    QTest::newRow("three audio tracks") << QStringLiteral("A160 A230 A75");
    QTest::newRow("data track first") << QStringLiteral("D150 A170 A90");
    QTest::newRow("data track last") << QStringLiteral("A160 A200 D150");
    QTest::newRow("data track between") << QStringLiteral("A160 D150 A80");
    QTest::newRow("one track of a second") << QStringLiteral("A75");
}

void TestCdReading::trackList()
{
    QFETCH(QString, tracks);
    const CdImageOptions options = layout(tracks);
    const WrittenCdImage image = writeImage(QStringLiteral("toc"), options);

    // Opened by its cue sheet and by its bin, the image gives the same table of contents.
    for (const QString &path : {image.cuePath, image.binPath}) {
        LibcdioDrive drive(path);
        const Result<CdToc> toc = drive.readToc();
        QVERIFY2(toc.ok(), qPrintable(toc.ok() ? QString() : describe(toc.error())));
        const std::vector<CdTrack> &read = toc.value().tracks;
        QCOMPARE(read.size(), options.tracks.size());
        std::int64_t audioSectors = 0;
        std::vector<std::int64_t> starts;
        for (std::size_t i = 0; i < read.size(); ++i) {
            QCOMPARE(read[i].number, int(i + 1));
            QCOMPARE(read[i].firstSector, image.trackStarts[i]);
            QCOMPARE(read[i].sectorCount, options.tracks[i].sectors);
            QCOMPARE(read[i].audio, options.tracks[i].audio);
            if (read[i].audio) {
                starts.push_back(audioSectors * kFramesPerSector);
                audioSectors += read[i].sectorCount;
            }
        }
        QCOMPARE(toc.value().audioSectors(), audioSectors);
        QCOMPARE(toc.value().audioFrames(), audioSectors * kFramesPerSector);
        QCOMPARE(toc.value().audioTrackStartFrames(), starts);
        // Prev and Next go by the track a frame belongs to: a track's first frame is its own,
        // the frame before it the previous track's, and the end belongs to the last track.
        for (std::size_t i = 0; i < starts.size(); ++i) {
            QCOMPARE(toc.value().audioTrackAt(starts[i]), int(i));
            if (i > 0)
                QCOMPARE(toc.value().audioTrackAt(starts[i] - 1), int(i) - 1);
        }
        QCOMPARE(toc.value().audioTrackAt(toc.value().audioFrames()), int(starts.size()) - 1);
    }
}

void TestCdReading::tocErrors_data()
{
    QTest::addColumn<QString>("tracks");
    QTest::addColumn<QByteArray>("cueSheet"); // replaces the written cue sheet when not empty
    QTest::addColumn<bool>("removeBin");
    QTest::addColumn<ErrorKind>("kind");
    QTest::addColumn<QString>("message"); // checked when not empty

    QTest::newRow("no audio track")
        << QStringLiteral("D300") << QByteArray() << false << ErrorKind::UnsupportedFormat
        << QStringLiteral("The disc has no audio tracks.");
    QTest::newRow("two data tracks")
        << QStringLiteral("D150 D150") << QByteArray() << false << ErrorKind::UnsupportedFormat
        << QStringLiteral("The disc has no audio tracks.");
    QTest::newRow("cue sheet of nonsense")
        << QStringLiteral("A150") << QByteArray("this is not a cue sheet\n") << false
        << ErrorKind::CorruptMedia << QString();
    QTest::newRow("cue sheet without tracks")
        << QStringLiteral("A150") << QByteArray("FILE \"toc.bin\" BINARY\n") << false
        << ErrorKind::CorruptMedia << QString();
    // libcdio reads outside its tables for a first track numbered 69 or more, and crashes.
    QTest::newRow("first track numbered 99")
        << QStringLiteral("A150")
        << QByteArray("FILE \"toc.bin\" BINARY\n  TRACK 99 AUDIO\n    INDEX 01 00:00:00\n") << false
        << ErrorKind::CorruptMedia << QString();
    QTest::newRow("no bin beside the cue sheet")
        << QStringLiteral("A150") << QByteArray() << true << ErrorKind::FileNotFound << QString();
}

void TestCdReading::tocErrors()
{
    QFETCH(QString, tracks);
    QFETCH(QByteArray, cueSheet);
    QFETCH(bool, removeBin);
    QFETCH(ErrorKind, kind);
    QFETCH(QString, message);
    const WrittenCdImage image = writeImage(QStringLiteral("toc"), layout(tracks));
    if (!cueSheet.isEmpty()) {
        QFile cue(image.cuePath);
        QVERIFY(cue.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(cue.write(cueSheet), cueSheet.size());
    }
    if (removeBin)
        QVERIFY(QFile::remove(image.binPath));

    LibcdioDrive drive(image.cuePath);
    const Result<CdToc> toc = drive.readToc();
    QVERIFY(!toc.ok());
    QCOMPARE(toc.error().kind, kind);
    if (!message.isEmpty())
        QCOMPARE(toc.error().message, message);
    // The reader opens the disc the same way and refuses it the same way.
    const Result<std::unique_ptr<CdDrive::SectorReader>> reader = drive.openReader();
    QVERIFY(!reader.ok());
    QCOMPARE(reader.error().kind, kind);
}

void TestCdReading::playsAudioTracksInOrder_data()
{
    QTest::addColumn<QString>("tracks");
    QTest::addColumn<LibcdioDrive::ReadMethod>("method");
    const auto paranoia = LibcdioDrive::ReadMethod::Paranoia;
    const auto direct = LibcdioDrive::ReadMethod::Direct;
    // Track lengths that are no multiple of the source's reads, so reads meet track ends.
    QTest::newRow("three audio tracks, paranoia") << QStringLiteral("A163 A230 A75") << paranoia;
    QTest::newRow("three audio tracks, direct") << QStringLiteral("A163 A230 A75") << direct;
    QTest::newRow("data track first, paranoia") << QStringLiteral("D150 A170 A90") << paranoia;
    QTest::newRow("data track first, direct") << QStringLiteral("D150 A170 A90") << direct;
    QTest::newRow("data track last, paranoia") << QStringLiteral("A165 A203 D150") << paranoia;
    QTest::newRow("data track between, paranoia") << QStringLiteral("A163 D150 A83") << paranoia;
    QTest::newRow("data track between, direct") << QStringLiteral("A163 D150 A83") << direct;
    QTest::newRow("one track, paranoia") << QStringLiteral("A75") << paranoia;
}

void TestCdReading::playsAudioTracksInOrder()
{
    QFETCH(QString, tracks);
    QFETCH(LibcdioDrive::ReadMethod, method);
    const CdImageOptions options = layout(tracks);
    const WrittenCdImage image = writeImage(QStringLiteral("order"), options);
    auto drive = std::make_shared<LibcdioDrive>(image.cuePath, method);
    const Result<CdToc> toc = drive->readToc();
    QVERIFY2(toc.ok(), qPrintable(toc.ok() ? QString() : describe(toc.error())));
    const std::vector<std::int32_t> order = playOrder(options);

    CdAudioSource source(drive, toc.value());
    QCOMPARE(source.sourceFormat(), (AudioFormat{44100, 2}));
    QCOMPARE(source.lengthFrames(), std::int64_t(order.size()) * kFramesPerSector);
    QVERIFY(source.setOutputFormat({44100, 2}).ok());
    const ReadOutcome all = readAll(source, 2);
    QVERIFY2(!all.error, qPrintable(all.error ? describe(*all.error) : QString()));
    // Exactly the length, every sample in place, across every track boundary, no data sector.
    QCOMPARE(std::int64_t(all.samples.size() / 2), source.lengthFrames());
    const QString wrong = mismatch(all.samples, order, 0);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QVERIFY(all.endRepeats);
    QCOMPARE(source.silencedSectors(), std::int64_t(0));
}

void TestCdReading::seeksLandExactly_data()
{
    QTest::addColumn<QString>("tracks");
    QTest::addColumn<LibcdioDrive::ReadMethod>("method");
    QTest::addColumn<qint64>("readFirst"); // frames read before the seek
    QTest::addColumn<qint64>("target");
    QTest::addColumn<qint64>("landsAt"); // where the seek is expected to put the source
    const auto paranoia = LibcdioDrive::ReadMethod::Paranoia;
    const auto direct = LibcdioDrive::ReadMethod::Direct;
    const QString three = QStringLiteral("A160 A200 A90");
    const qint64 track2 = 160 * kFramesPerSector;
    const qint64 end = (160 + 200 + 90) * kFramesPerSector;
    QTest::newRow("inside track 2, mid-sector")
        << three << paranoia << qint64(0) << track2 + 1234 << track2 + 1234;
    QTest::newRow("inside track 2, direct")
        << three << direct << qint64(0) << track2 + 1234 << track2 + 1234;
    QTest::newRow("first frame of track 2") << three << paranoia << qint64(0) << track2 << track2;
    QTest::newRow("last frame of track 1")
        << three << paranoia << qint64(0) << track2 - 1 << track2 - 1;
    QTest::newRow("back after reading on")
        << three << paranoia << qint64(5000) << qint64(321) << qint64(321);
    QTest::newRow("forward within what was read")
        << three << paranoia << qint64(100) << qint64(2000) << qint64(2000);
    QTest::newRow("last frame of the disc") << three << paranoia << qint64(0) << end - 1 << end - 1;
    QTest::newRow("the end") << three << paranoia << qint64(0) << end << end;
    QTest::newRow("past the end") << three << paranoia << qint64(0) << end + 99999 << end;
    QTest::newRow("before the start")
        << three << paranoia << qint64(3000) << qint64(-5) << qint64(0);
    // Frame 170 * 588 + 700 of the timeline is in the third track, past the data track.
    QTest::newRow("past a data track")
        << QStringLiteral("A170 D150 A90") << paranoia << qint64(0)
        << qint64(170 * kFramesPerSector + 700) << qint64(170 * kFramesPerSector + 700);
    QTest::newRow("audio after a leading data track")
        << QStringLiteral("D150 A170 A90") << direct << qint64(0)
        << qint64(170 * kFramesPerSector + 1) << qint64(170 * kFramesPerSector + 1);
}

void TestCdReading::seeksLandExactly()
{
    QFETCH(QString, tracks);
    QFETCH(LibcdioDrive::ReadMethod, method);
    QFETCH(qint64, readFirst);
    QFETCH(qint64, target);
    QFETCH(qint64, landsAt);
    const CdImageOptions options = layout(tracks);
    const WrittenCdImage image = writeImage(QStringLiteral("seek"), options);
    auto drive = std::make_shared<LibcdioDrive>(image.cuePath, method);
    const Result<CdToc> toc = drive->readToc();
    QVERIFY(toc.ok());
    const std::vector<std::int32_t> order = playOrder(options);

    CdAudioSource source(drive, toc.value());
    std::vector<float> before(std::size_t(readFirst) * 2 + 2);
    if (readFirst > 0)
        QCOMPARE(outcomeOf(source.read(before.data(), std::size_t(readFirst))),
                 QString::number(readFirst));
    QVERIFY(source.seekToFrame(target).ok());

    // A few sectors' worth from the place sought, across at least one sector edge.
    const std::int64_t wanted = std::min<std::int64_t>(3000, source.lengthFrames() - landsAt);
    std::vector<float> after(3000 * 2, kUnwritten);
    const Result<std::size_t> got = source.read(after.data(), 3000);
    QVERIFY(got.ok());
    QCOMPARE(std::int64_t(got.value()), wanted);
    after.resize(got.value() * 2);
    const QString wrong = mismatch(after, order, landsAt);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestCdReading::outputFormats_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("stereo") << 44100 << 2 << true;
    QTest::newRow("mono") << 44100 << 1 << true;
    QTest::newRow("four channels") << 44100 << 4 << true;
    QTest::newRow("7.1") << 44100 << 8 << true;
    QTest::newRow("48 kHz") << 48000 << 2 << false;
    QTest::newRow("no channels") << 44100 << 0 << false;
}

void TestCdReading::outputFormats()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(bool, accepted);
    const CdImageOptions options = layout(QStringLiteral("A163 A40"));
    const WrittenCdImage image = writeImage(QStringLiteral("format"), options);
    auto drive = std::make_shared<LibcdioDrive>(image.cuePath);
    const Result<CdToc> toc = drive->readToc();
    QVERIFY(toc.ok());
    CdAudioSource source(drive, toc.value());
    const Result<void> set = source.setOutputFormat({rate, channels});
    QCOMPARE(set.ok(), accepted);
    if (!accepted)
        return;

    const ReadOutcome all = readAll(source, channels);
    QVERIFY(!all.error);
    QCOMPARE(std::int64_t(all.samples.size()), source.lengthFrames() * channels);
    const std::vector<std::int32_t> order = playOrder(options);
    QString wrong;
    for (std::int64_t frame = 0; frame < source.lengthFrames() && wrong.isEmpty(); ++frame) {
        const std::int32_t sector = order[std::size_t(frame / kFramesPerSector)];
        const int inSector = int(frame % kFramesPerSector);
        const float left = CdImageWriter::floatSampleAt(sector, inSector, 0);
        const float right = CdImageWriter::floatSampleAt(sector, inSector, 1);
        std::vector<float> expected(std::size_t(channels), 0.0f);
        if (channels == 1) {
            expected[0] = 0.5f * (left + right);
        } else {
            expected[0] = left;
            expected[1] = right;
        }
        for (int c = 0; c < channels; ++c) {
            const float got = all.samples[std::size_t(frame * channels + c)];
            if (got != expected[std::size_t(c)]) {
                wrong = QStringLiteral("frame %1, channel %2: %3, not %4")
                            .arg(frame)
                            .arg(c)
                            .arg(double(got))
                            .arg(double(expected[std::size_t(c)]));
            }
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestCdReading::imageShorterThanItsToc_data()
{
    QTest::addColumn<QString>("tracks");
    QTest::addColumn<int>("cutTo");     // sectors the bin keeps; -1 leaves it whole
    QTest::addColumn<bool>("tocFails"); // cut before the table of contents is read
    QTest::addColumn<qint64>("readFirst");
    QTest::addColumn<LibcdioDrive::ReadMethod>("method");
    const auto paranoia = LibcdioDrive::ReadMethod::Paranoia;
    const auto direct = LibcdioDrive::ReadMethod::Direct;
    const QString three = QStringLiteral("A150 A150 A150");
    // The cue sheet lists a third track the bin does not reach.
    QTest::newRow("bin ends inside the second of three tracks")
        << three << 200 << true << qint64(0) << paranoia;
    QTest::newRow("bin ends where the last track starts")
        << three << 300 << true << qint64(0) << paranoia;
    // The image was whole when the device read its table of contents.
    QTest::newRow("cut before playing, paranoia") << three << 200 << false << qint64(0) << paranoia;
    QTest::newRow("cut while playing, paranoia")
        << three << 200 << false << qint64(100 * kFramesPerSector) << paranoia;
    QTest::newRow("cut while playing, direct")
        << three << 200 << false << qint64(100 * kFramesPerSector) << direct;
}

void TestCdReading::imageShorterThanItsToc()
{
    QFETCH(QString, tracks);
    QFETCH(int, cutTo);
    QFETCH(bool, tocFails);
    QFETCH(qint64, readFirst);
    QFETCH(LibcdioDrive::ReadMethod, method);
    const CdImageOptions options = layout(tracks);
    const WrittenCdImage image = writeImage(QStringLiteral("short"), options);
    const auto cut = [&] { return QFile::resize(image.binPath, qint64(cutTo) * 2352); };
    auto drive = std::make_shared<LibcdioDrive>(image.cuePath, method);

    if (tocFails) {
        QVERIFY(cut());
        const Result<CdToc> toc = finishWithin(kReadLimit, [&] { return drive->readToc(); });
        QVERIFY(!toc.ok());
        QCOMPARE(toc.error().kind, ErrorKind::CorruptMedia);
        QCOMPARE(toc.error().message,
                 QStringLiteral("The disc image is shorter than its cue sheet says."));
        return;
    }

    const Result<CdToc> toc = drive->readToc();
    QVERIFY(toc.ok());
    CdAudioSource source(drive, toc.value());
    const std::vector<std::int32_t> order = playOrder(options);
    std::vector<float> first(std::size_t(readFirst) * 2 + 2);
    if (readFirst > 0) {
        const Result<std::size_t> got = finishWithin(
            kReadLimit, [&] { return source.read(first.data(), std::size_t(readFirst)); });
        QCOMPARE(outcomeOf(got), QString::number(readFirst));
    }
    QVERIFY(cut());

    // The rest plays up to the cut at most (what the reader already held), then fails.
    const ReadOutcome rest = readAll(source, 2);
    QVERIFY(rest.error);
    QCOMPARE(rest.error->kind, ErrorKind::CorruptMedia);
    const std::int64_t restFrames = std::int64_t(rest.samples.size() / 2);
    QVERIFY2(readFirst + restFrames <= std::int64_t(cutTo) * kFramesPerSector,
             qPrintable(QString::number(readFirst + restFrames)));
    const QString wrong = mismatch(rest.samples, order, readFirst);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    // The failure stays until the next seek.
    std::vector<float> chunk(200);
    QCOMPARE(outcomeOf(source.read(chunk.data(), 100)), describe(*rest.error));
}

void TestCdReading::virtualTray()
{
    const CdImageOptions options = layout(QStringLiteral("A150 A100"));
    const WrittenCdImage image = writeImage(QStringLiteral("tray"), options);
    auto drive = std::make_shared<LibcdioDrive>(image.cuePath);
    const Result<CdToc> before = drive->readToc();
    QVERIFY(before.ok());
    CdAudioSource source(drive, before.value());
    std::vector<float> chunk(2 * 1000, kUnwritten);
    QCOMPARE(outcomeOf(source.read(chunk.data(), 1000)), QStringLiteral("1000"));

    QVERIFY(drive->openTray().ok());
    const auto isNoDisc = [](const MediaError &error) {
        return error.kind == ErrorKind::DeviceUnavailable &&
               error.message == QStringLiteral("No disc in the drive.");
    };
    const Result<CdToc> open = drive->readToc();
    QVERIFY(!open.ok());
    QVERIFY2(isNoDisc(open.error()), qPrintable(describe(open.error())));
    const Result<std::unique_ptr<CdDrive::SectorReader>> reader = drive->openReader();
    QVERIFY(!reader.ok());
    QVERIFY2(isNoDisc(reader.error()), qPrintable(describe(reader.error())));
    // The playing source has lost its disc too, once past what it had read already.
    QVERIFY(source.seekToFrame(100 * kFramesPerSector).ok());
    const Result<std::size_t> lost = source.read(chunk.data(), 1000);
    QVERIFY(!lost.ok());
    QVERIFY2(isNoDisc(lost.error()), qPrintable(describe(lost.error())));
    QVERIFY(drive->openTray().ok()); // opening an open tray is no error

    QVERIFY(drive->closeTray().ok());
    const Result<CdToc> after = drive->readToc();
    QVERIFY(after.ok());
    QCOMPARE(after.value(), before.value());
    QVERIFY(source.seekToFrame(100 * kFramesPerSector).ok());
    QCOMPARE(outcomeOf(source.read(chunk.data(), 1000)), QStringLiteral("1000"));
    const QString wrong = mismatch(chunk, playOrder(options), 100 * kFramesPerSector);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestCdReading::noDriveOnThisMachine_data()
{
    QTest::addColumn<QString>("call");
    QTest::newRow("readToc") << QStringLiteral("readToc");
    QTest::newRow("openReader") << QStringLiteral("openReader");
    QTest::newRow("openTray") << QStringLiteral("openTray");
    QTest::newRow("closeTray") << QStringLiteral("closeTray");
    QTest::newRow("a source's read") << QStringLiteral("read");
}

void TestCdReading::noDriveOnThisMachine()
{
    QFETCH(QString, call);
    for (const char *node : {"/dev/cdrom", "/dev/sr0", "/dev/sr1"}) {
        if (QFileInfo::exists(QString::fromLatin1(node)))
            QSKIP("This machine has a CD drive.");
    }
    auto drive = std::make_shared<LibcdioDrive>();
    QVERIFY(!drive->isImage());
    const auto errorOf = [](const auto &result) {
        return result.ok() ? MediaError{ErrorKind::None, QStringLiteral("succeeded")}
                           : result.error();
    };
    const MediaError error = finishWithin(kReadLimit, [&] {
        if (call == QLatin1String("readToc"))
            return errorOf(drive->readToc());
        if (call == QLatin1String("openReader"))
            return errorOf(drive->openReader());
        if (call == QLatin1String("openTray"))
            return errorOf(drive->openTray());
        if (call == QLatin1String("closeTray"))
            return errorOf(drive->closeTray());
        CdToc toc;
        toc.tracks.push_back({1, 0, 750, true});
        CdAudioSource source(drive, toc);
        std::vector<float> chunk(200);
        return errorOf(source.read(chunk.data(), 100));
    });
    QCOMPARE(error.kind, ErrorKind::DeviceUnavailable);
    QCOMPARE(error.message, QStringLiteral("No CD drive."));
    QVERIFY(drive->source().isEmpty());
}

void TestCdReading::unreadableSectors_data()
{
    constexpr int kLimit = CdAudioSource::kMaxSilencedSectorsInARow;
    QTest::addColumn<QList<int>>("bad");   // fail every time
    QTest::addColumn<QList<int>>("flaky"); // fail once, then read
    QTest::addColumn<bool>("givesUp");
    QTest::addColumn<int>("firstBad"); // where a run that ends the playback starts
    QTest::addColumn<bool>("wholeReadFails");

    const auto range = [](int first, int count) {
        QList<int> sectors;
        for (int i = 0; i < count; ++i)
            sectors.append(first + i);
        return sectors;
    };
    QTest::newRow("one bad sector") << QList<int>{10} << QList<int>{} << false << 0 << false;
    QTest::newRow("bad sectors apart")
        << QList<int>{3, 9, 17, 40, 59} << QList<int>{} << false << 0 << false;
    QTest::newRow("first and last sector")
        << QList<int>{0, 59} << QList<int>{} << false << 0 << false;
    QTest::newRow("a sector that fails once")
        << QList<int>{} << QList<int>{10, 11} << false << 0 << false;
    QTest::newRow("the longest run that plays on")
        << range(20, kLimit) << QList<int>{} << false << 0 << false;
    QTest::newRow("two such runs one good sector apart")
        << range(5, kLimit) + range(6 + kLimit, kLimit) << QList<int>{} << false << 0 << false;
    QTest::newRow("one sector too many")
        << range(20, kLimit + 1) << QList<int>{} << true << 20 << false;
    QTest::newRow("one bad sector, whole reads fail")
        << QList<int>{10} << QList<int>{} << false << 0 << true;
    QTest::newRow("bad sectors apart, whole reads fail")
        << QList<int>{3, 9, 17, 40, 59} << QList<int>{} << false << 0 << true;
    QTest::newRow("first and last sector, whole reads fail")
        << QList<int>{0, 59} << QList<int>{} << false << 0 << true;
    QTest::newRow("a sector that fails once, whole reads fail")
        << QList<int>{} << QList<int>{10, 11} << false << 0 << true;
    QTest::newRow("the longest run that plays on, whole reads fail")
        << range(20, kLimit) << QList<int>{} << false << 0 << true;
    QTest::newRow("two such runs one good sector apart, whole reads fail")
        << range(5, kLimit) + range(6 + kLimit, kLimit) << QList<int>{} << false << 0 << true;
    QTest::newRow("one sector too many, whole reads fail")
        << range(20, kLimit + 1) << QList<int>{} << true << 20 << true;
}

void TestCdReading::unreadableSectors()
{
    QFETCH(QList<int>, bad);
    QFETCH(QList<int>, flaky);
    QFETCH(bool, givesUp);
    QFETCH(int, firstBad);
    QFETCH(bool, wholeReadFails);
    constexpr std::int32_t kSectors = 60;
    auto drive = fakeDisc(kSectors);
    drive->wholeReadFails = wholeReadFails;
    drive->bad = std::set<std::int32_t>(bad.begin(), bad.end());
    for (int sector : flaky)
        drive->flaky[sector] = 1;
    CdAudioSource source(drive, drive->toc);
    const std::vector<std::int32_t> order = playOrder(layout(QStringLiteral("A60")));

    const ReadOutcome all = readAll(source, 2);
    if (givesUp) {
        QVERIFY(all.error);
        QCOMPARE(all.error->kind, ErrorKind::FileUnreadable);
        QCOMPARE(all.error->message, QStringLiteral("The disc cannot be read."));
        // Everything before the damage was played, then as much silence as is allowed in a
        // row, then nothing more.
        constexpr int kLimit = CdAudioSource::kMaxSilencedSectorsInARow;
        QCOMPARE(std::int64_t(all.samples.size() / 2),
                 std::int64_t(firstBad + kLimit) * kFramesPerSector);
        const QString wrong = mismatch(all.samples, order, 0, sectorRange(firstBad, kLimit));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(source.silencedSectors(), std::int64_t(kLimit + 1));
        return;
    }
    QVERIFY2(!all.error, qPrintable(all.error ? describe(*all.error) : QString()));
    QCOMPARE(std::int64_t(all.samples.size() / 2), std::int64_t(kSectors) * kFramesPerSector);
    const QString wrong = mismatch(all.samples, order, 0, drive->bad);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(source.silencedSectors(), std::int64_t(bad.size()));

    // Each bad sector was asked for on its own, the set number of times, and no more.
    for (int sector : bad) {
        const auto alone = std::count_if(drive->calls.begin(), drive->calls.end(),
                                         [sector](const FakeDrive::Call &call) {
                                             return call.sector == sector && call.count == 1;
                                         });
        QCOMPARE(int(alone), CdAudioSource::kLoneSectorTries);
    }
}

void TestCdReading::failuresEndPlayback_data()
{
    QTest::addColumn<ErrorKind>("kind");
    QTest::addColumn<bool>("atOpen"); // the reader cannot even be opened
    QTest::newRow("image shorter than its table of contents") << ErrorKind::CorruptMedia << false;
    QTest::newRow("disc gone") << ErrorKind::DeviceUnavailable << false;
    QTest::newRow("reader cannot open") << ErrorKind::DeviceUnavailable << true;
}

void TestCdReading::failuresEndPlayback()
{
    QFETCH(ErrorKind, kind);
    QFETCH(bool, atOpen);
    constexpr std::int32_t kBadSector = 10;
    auto drive = fakeDisc(40);
    const MediaError failure{kind, QStringLiteral("gone wrong")};
    if (atOpen) {
        drive->openError = failure;
    } else {
        drive->bad = {kBadSector};
        drive->badError = failure;
    }
    CdAudioSource source(drive, drive->toc);
    const std::vector<std::int32_t> order = playOrder(layout(QStringLiteral("A40")));

    const ReadOutcome all = readAll(source, 2);
    QVERIFY(all.error);
    QCOMPARE(all.error->kind, kind);
    QCOMPARE(all.error->message, failure.message);
    const std::int64_t playedSectors = atOpen ? 0 : kBadSector;
    QCOMPARE(std::int64_t(all.samples.size() / 2), playedSectors * kFramesPerSector);
    QVERIFY(mismatch(all.samples, order, 0).isEmpty());
    // Asked for once, not retried, not silenced.
    if (!atOpen) {
        const auto tries =
            std::count_if(drive->calls.begin(), drive->calls.end(),
                          [](const FakeDrive::Call &call) { return call.sector == kBadSector; });
        QCOMPARE(int(tries), 1);
    }
    QCOMPARE(source.silencedSectors(), std::int64_t(0));

    // The failure stays until a seek; after one, a disc that reads again plays from there.
    std::vector<float> chunk(2 * 1000, kUnwritten);
    QCOMPARE(outcomeOf(source.read(chunk.data(), 1000)), describe(failure));
    drive->bad.clear();
    drive->openError.reset();
    QVERIFY(source.seekToFrame(kBadSector * kFramesPerSector + 5).ok());
    QCOMPARE(outcomeOf(source.read(chunk.data(), 1000)), QStringLiteral("1000"));
    const QString wrong = mismatch(chunk, order, kBadSector * kFramesPerSector + 5);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

QTEST_GUILESS_MAIN(TestCdReading)
#include "tst_cdreading.moc"
