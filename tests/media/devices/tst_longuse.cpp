// Long use: many Open, Play, Stop cycles on each device type in one process, through the media
// device control, must leave no threads, file descriptors or heap behind. The count comes from
// ZYR_LONG_USE_CYCLES (the default run takes a few dozen; the long run a thousand). The heap is
// measured as live allocated bytes (the sanitizer allocator's count in a sanitizer build, the C
// library's otherwise), so that freed memory held for reuse does not count as growth.

#include "media/devices/CdAudioDevice.h"
#include "media/devices/LibcdioDrive.h"
#include "media/devices/SoundFontLibrary.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/TestAudioSink.h"
#include "support/CdImageWriter.h"
#include "support/MidiWriter.h"
#include "support/MovieWriter.h"
#include "support/WavWriter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of live heap bytes (GCC ships no header declaring it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

using namespace zyr::media;
using namespace zyr::test;

namespace {

std::int64_t liveHeapBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<std::int64_t>(mallinfo2().uordblks);
#endif
}

int entriesIn(const char *dir)
{
    return static_cast<int>(QDir(QString::fromLatin1(dir))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

int cycles()
{
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("ZYR_LONG_USE_CYCLES", &ok);
    return ok && fromEnvironment > 0 ? fromEnvironment : 30;
}

// Heap a cycle may leave behind on average once warmed up: caches that settle (Qt's, FFmpeg's
// codec tables) stop growing long before; a leak of even one small object a cycle shows over a
// thousand cycles.
constexpr std::int64_t kGrowthPerCycleBytes = 64;
constexpr std::int64_t kGrowthSlackBytes = 256 * 1024;

} // namespace

class TestLongUse : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cyclesLeaveNothingBehind_data();
    void cyclesLeaveNothingBehind();

private:
    QTemporaryDir m_dir;
    QString m_wav, m_midi, m_movie, m_cue;
};

void TestLongUse::initTestCase()
{
    WavOptions wav;
    wav.sampleRate = 22050;
    wav.frames = 22050 / 2;
    m_wav = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(WavWriter::write(m_wav, wav));

    MidiWriter midi(0, 480);
    midi.track().programChange(0, 0, 1).noteOn(0, 0, 60, 100).noteOff(240, 0, 60).endOfTrack();
    m_midi = m_dir.filePath(QStringLiteral("tune.mid"));
    QVERIFY(midi.save(m_midi));

    MovieOptions movie;
    movie.frames = 8;
    movie.audio = MovieAudio::Pcm16;
    m_movie = m_dir.filePath(QStringLiteral("movie.avi"));
    QVERIFY(MovieWriter::write(m_movie, movie));

    CdImageOptions disc;
    disc.tracks = {{true, 75}, {true, 75}};
    const auto written = CdImageWriter::write(m_dir.filePath(QStringLiteral("disc.cue")), disc);
    QVERIFY(written);
    m_cue = written->cuePath;
}

void TestLongUse::cyclesLeaveNothingBehind_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("WaveAudio") << QStringLiteral("WaveAudio");
    QTest::newRow("Sequencer") << QStringLiteral("Sequencer");
    QTest::newRow("AVIVideo") << QStringLiteral("AVIVideo");
    QTest::newRow("CDAudio") << QStringLiteral("CDAudio");
}

void TestLongUse::cyclesLeaveNothingBehind()
{
    QFETCH(QString, type);
    if (type == QLatin1String("Sequencer") && !SoundFontLibrary::instance().soundFont().ok())
        QSKIP("no General MIDI SoundFont installed");
    const QString file = type == QLatin1String("WaveAudio")   ? m_wav
                         : type == QLatin1String("Sequencer") ? m_midi
                         : type == QLatin1String("AVIVideo")  ? m_movie
                                                              : QString();
    MediaControl control(MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF));
    DeviceContext context{[] { return std::make_unique<TestAudioSink>(); }, {}};
    if (type == QLatin1String("CDAudio")) {
        context.makeDevice = [cue = m_cue](const QString &) -> std::unique_ptr<MediaDevice> {
            return std::make_unique<CdAudioDevice>(
                [] { return std::make_unique<TestAudioSink>(); },
                [cue](const QString &) { return std::make_shared<LibcdioDrive>(cue); });
        };
    }
    control.setDeviceContext(std::move(context));
    control.put(MediaControl::kDeviceType, DispatchValue(type));
    control.put(MediaControl::kFileName, DispatchValue(file));

    const auto cycle = [&] {
        QCOMPARE(control.execute(QStringLiteral("Open")), MediaErrorCode::None);
        QCOMPARE(control.execute(QStringLiteral("Play")), MediaErrorCode::None);
        QTest::qWait(1);
        QCOMPARE(control.execute(QStringLiteral("Stop")), MediaErrorCode::None);
        QCOMPARE(control.execute(QStringLiteral("Close")), MediaErrorCode::None);
        // Done and whatever else the devices queued are delivered, and deleted objects go.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    };
    // Warm up: what is loaded once per process (the SoundFont, codec tables) loads now.
    for (int i = 0; i < 3; ++i) {
        cycle();
        if (QTest::currentTestFailed())
            return;
    }
    const int threads = entriesIn("/proc/self/task");
    const int files = entriesIn("/proc/self/fd");
    const std::int64_t heap = liveHeapBytes();

    const int n = cycles();
    for (int i = 0; i < n; ++i) {
        cycle();
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("cycle %1 of %2").arg(i + 1).arg(n)));
    }
    const std::int64_t grown = liveHeapBytes() - heap;
    qInfo("%s: %d cycles, live heap %lld -> %lld bytes (%+lld), threads %d, descriptors %d",
          qPrintable(type), n, static_cast<long long>(heap), static_cast<long long>(heap + grown),
          static_cast<long long>(grown), threads, files);
    // Worker threads are joined when their device closes; nothing stays open. Leaks would grow
    // with the cycles; a thread or descriptor still busy at the first count (on a loaded machine,
    // one the warm-up started) may be gone by now.
    QTRY_VERIFY(entriesIn("/proc/self/task") <= threads);
    QVERIFY(entriesIn("/proc/self/fd") <= files);
    QVERIFY2(
        grown <= kGrowthSlackBytes + kGrowthPerCycleBytes * n,
        qPrintable(QStringLiteral("the heap grew by %1 bytes over %2 cycles").arg(grown).arg(n)));
}

QTEST_MAIN(TestLongUse)
#include "tst_longuse.moc"
