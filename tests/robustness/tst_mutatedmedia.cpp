// Damaged media of every kind a user can pick, opened and played through the media device control
// as a player window does: valid WAVE, MIDI, AVI and cue/bin files written by the tests, then
// damaged by the Mutator in hundreds of reproducible ways. Whatever the damage, the kit must
// refuse the file with a positive Error and a message, or open it with a sane Length and play
// it to its end (Done, and Position equal to Length there), or stop a play the medium fails with
// Done and an Error; and never crash, hang, or trip the sanitizers.
//
// Environment:
//   ZYR_MUTATIONS        mutations per medium (default 40; the long run uses 5000)
//   ZYR_MUTATION_FIRST   the number of the first mutation (default 0)
//   ZYR_MUTATION_INDEX   only this mutation, to reproduce one
//   ZYR_MUTATION_DUMP    a folder where the files of failing mutations are kept (and those of
//                        the one ZYR_MUTATION_INDEX names, failing or not)
//   ZYR_MUTATION_VERBOSE print every mutation and its outcome

#include "Mutator.h"

#include "media/devices/SoundFontLibrary.h"
#include "media/devices/VideoOutput.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/TestAudioSink.h"
#include "support/CdImageWriter.h"
#include "support/MidiWriter.h"
#include "support/MovieWriter.h"
#include "support/WavWriter.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

using namespace zyr::media;
using namespace zyr::test;

namespace {

constexpr int kDefaultMutations = 40;
// A play of a medium this long or shorter runs to its end; a longer one (a damaged header can
// claim hours) is played for a moment and stopped.
constexpr std::int32_t kLongestPlayMs = 60000;
// Wall time a play may take beyond what the fast output needs: a few seconds for a sanitizer
// build on a busy machine.
constexpr int kPlaySlackMs = 5000;
// The fast output plays at least this many times faster than real time.
constexpr int kMinSpeedUp = 20;
// Wall time one open, or one close, may take before the mutation counts as a hang.
constexpr int kStepBoundMs = 20000;

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// Names the mutation in progress and ends the process should one step of it hang: an open,
// close or destruction that never returns cannot be caught by a timed wait on the UI thread.
class HangWatch {
public:
    HangWatch() : m_thread([this] { run(); }) {}
    ~HangWatch()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void arm(const QString &what, int boundMs, QStringList files)
    {
        const std::lock_guard lock(m_mutex);
        m_what = what;
        m_files = std::move(files);
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
        m_armed = true;
        m_changed.notify_all();
    }
    void disarm()
    {
        const std::lock_guard lock(m_mutex);
        m_armed = false;
    }
    void setDumpFolder(const QString &folder) { m_dumpFolder = folder; }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_quit) {
            if (!m_armed) {
                m_changed.wait(lock);
                continue;
            }
            if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed &&
                std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "HANG: %s\n", qPrintable(m_what));
                for (const QString &file : m_files)
                    if (!m_dumpFolder.isEmpty())
                        QFile::copy(file, QDir(m_dumpFolder).filePath(QFileInfo(file).fileName()));
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QString m_what;
    QStringList m_files;
    QString m_dumpFolder;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_armed = false;
    bool m_quit = false;
    std::thread m_thread;
};

// Takes the pictures of a movie and shows none: it only counts the empty ones.
class CountingOutput : public VideoOutput {
public:
    void prepare(const QString &, QSize) override {}
    void present(VideoPicture picture) override
    {
        if (!picture.frame || picture.frame->width <= 0 || picture.frame->height <= 0)
            ++m_nullPictures;
    }
    QSize pictureSize() const override { return {}; }
    void setShown(bool shown) override { m_shown = shown; }
    bool isShown() const override { return m_shown; }
    void setCloseHandler(std::function<void()>) override {}

    int nullPictures() const { return m_nullPictures; }

private:
    int m_nullPictures = 0;
    bool m_shown = false;
};

// A media device control whose devices sound into the fast test output.
struct Rig {
    MediaControl control{MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF)};
    CountingOutput *output = nullptr;
    QList<int> done;

    explicit Rig(const QString &deviceType)
    {
        DeviceContext context;
        context.sinks = [] { return std::make_unique<TestAudioSink>(); };
        context.videoOutputs = [this] {
            auto made = std::make_unique<CountingOutput>();
            output = made.get();
            return made;
        };
        control.setDeviceContext(std::move(context));
        control.put(MediaControl::kDeviceType, deviceType);
        QObject::connect(&control, &MediaControl::done, &control, [this](int c) { done << c; });
    }
    void command(const char *c) { control.put(MediaControl::kCommand, QString::fromLatin1(c)); }
    std::int16_t error() { return std::get<std::int16_t>(control.get(MediaControl::kError)); }
    std::int32_t length() { return std::get<std::int32_t>(control.get(MediaControl::kLength)); }
    std::int32_t position() { return std::get<std::int32_t>(control.get(MediaControl::kPosition)); }
    // Waits up to `ms` for a Done; whether one came.
    bool waitForDone(qint64 ms)
    {
        QElapsedTimer t;
        t.start();
        while (done.isEmpty() && t.elapsed() < ms)
            QTest::qWait(2);
        return !done.isEmpty();
    }
};

// One damaged medium on disk.
struct Mutant {
    QString openPath;  // what the control's FileName gets
    QStringList files; // every file written for it
    QString description;
};

using MutantMaker = std::function<Mutant(int index)>;

// What a run over one medium came to.
struct Tally {
    int tried = 0;
    int opened = 0;
    int refused = 0;
    int playedToEnd = 0;
    int failedWhilePlaying = 0;
    int stoppedLong = 0;
    std::int64_t longestLengthMs = 0;
    std::map<QString, int> messages; // refusals and failures, numbers and paths masked
    QStringList problems;
};

// A message as the summary groups it: Error, then the message with the test folder and every
// number masked.
QString messageKey(int error, QString message, const QString &folder)
{
    message.replace(folder, QStringLiteral("<dir>"));
    static const QRegularExpression kNumbers(QStringLiteral("\\d+"));
    message.replace(kNumbers, QStringLiteral("#"));
    return QStringLiteral("%1: %2").arg(error).arg(message);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestMutatedMedia : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void waveAudio();
    void sequencer();
    void aviVideo();
    void cdAudio();

private:
    // Runs the mutations of one medium through `deviceType` and checks every outcome.
    void runMedium(const QString &medium, const QString &deviceType, const MutantMaker &make);
    // Opens and plays one mutant; returns what went wrong, or nothing.
    QString tryMutant(const QString &deviceType, const Mutant &mutant, Tally &tally);
    // A maker of mutants of binary files, one base file after another.
    MutantMaker binaryMaker(const QList<std::pair<QString, QByteArray>> &bases, ChunkLayout layout,
                            std::uint64_t seed, const QString &suffix);

    QTemporaryDir m_dir;
    HangWatch m_watch;
    int m_count = kDefaultMutations;
    int m_first = 0;
    int m_only = -1;
    bool m_verbose = false;
    QString m_dumpFolder;
};

void TestMutatedMedia::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Damaged files make FFmpeg log at error level; the outcomes are checked through Error.
    av_log_set_level(AV_LOG_QUIET);
    m_count = envInt("ZYR_MUTATIONS", kDefaultMutations);
    m_first = envInt("ZYR_MUTATION_FIRST", 0);
    m_only = envInt("ZYR_MUTATION_INDEX", -1);
    m_verbose = envInt("ZYR_MUTATION_VERBOSE", 0) != 0;
    m_dumpFolder = qEnvironmentVariable("ZYR_MUTATION_DUMP");
    if (!m_dumpFolder.isEmpty()) {
        QVERIFY(QDir().mkpath(m_dumpFolder));
        m_watch.setDumpFolder(m_dumpFolder);
    }
    QVERIFY(m_count > 0 && m_first >= 0);
}

MutantMaker TestMutatedMedia::binaryMaker(const QList<std::pair<QString, QByteArray>> &bases,
                                          ChunkLayout layout, std::uint64_t seed,
                                          const QString &suffix)
{
    std::vector<std::pair<QString, Mutator>> mutators;
    for (qsizetype i = 0; i < bases.size(); ++i)
        mutators.emplace_back(bases[i].first, Mutator(bases[i].second, layout, seed + i));
    return [this, mutators, suffix](int index) {
        const auto &[name, mutator] = mutators[std::size_t(index) % mutators.size()];
        const Mutation m = mutator.mutate(index);
        const QString path = m_dir.filePath(QStringLiteral("mutant.") + suffix);
        if (!writeFile(path, m.bytes))
            qFatal("cannot write %s", qPrintable(path));
        return Mutant{path, {path}, name + QStringLiteral(": ") + m.description};
    };
}

void TestMutatedMedia::runMedium(const QString &medium, const QString &deviceType,
                                 const MutantMaker &make)
{
    Tally tally;
    QElapsedTimer wall;
    wall.start();
    const int first = m_only >= 0 ? m_only : m_first;
    const int last = m_only >= 0 ? m_only + 1 : m_first + m_count;
    for (int index = first; index < last; ++index) {
        const Mutant mutant = make(index);
        const QString name =
            QStringLiteral("%1 #%2 (%3)").arg(medium).arg(index).arg(mutant.description);
        if (m_verbose)
            std::fprintf(stderr, "%s\n", qPrintable(name));
        ++tally.tried;
        const QString problem = tryMutant(deviceType, mutant, tally);
        if (!problem.isEmpty())
            tally.problems << name + QStringLiteral(": ") + problem;
        if ((!problem.isEmpty() || m_only >= 0) && !m_dumpFolder.isEmpty()) {
            for (const QString &file : mutant.files) {
                const QString kept = QDir(m_dumpFolder)
                                         .filePath(QStringLiteral("%1-%2-%3")
                                                       .arg(medium)
                                                       .arg(index)
                                                       .arg(QFileInfo(file).fileName()));
                QFile::remove(kept);
                QFile::copy(file, kept);
            }
        }
        for (const QString &file : mutant.files)
            QFile::remove(file);
    }

    qInfo("%s: %d tried, %d opened (%d played to the end, %d failed while playing, %d long ones "
          "stopped; longest %lld ms), %d refused; %lld ms",
          qPrintable(medium), tally.tried, tally.opened, tally.playedToEnd,
          tally.failedWhilePlaying, tally.stoppedLong, qlonglong(tally.longestLengthMs),
          tally.refused, qlonglong(wall.elapsed()));
    for (const auto &[message, count] : tally.messages)
        qInfo("  %5d x %s", count, qPrintable(message));
    for (const QString &problem : tally.problems)
        qWarning("%s", qPrintable(problem));
    QVERIFY2(tally.problems.isEmpty(),
             qPrintable(QStringLiteral("%1 of %2 mutations went wrong, the first: %3")
                            .arg(tally.problems.size())
                            .arg(tally.tried)
                            .arg(tally.problems.value(0))));
}

QString TestMutatedMedia::tryMutant(const QString &deviceType, const Mutant &mutant, Tally &tally)
{
    const QString what = QStringLiteral("%1 on %2").arg(mutant.description, deviceType);
    Rig rig(deviceType);
    m_watch.arm(QStringLiteral("opening ") + what, kStepBoundMs, mutant.files);
    rig.control.put(MediaControl::kFileName, mutant.openPath);
    rig.command("Open");
    m_watch.disarm();

    const std::int16_t openError = rig.error();
    if (openError != 0) {
        ++tally.refused;
        const QString message = rig.control.errorMessage();
        tally.messages[messageKey(openError, message, m_dir.path())]++;
        if (openError < 0)
            return QStringLiteral("refused with a negative Error %1").arg(openError);
        if (message.trimmed().isEmpty())
            return QStringLiteral("refused with Error %1 and no message").arg(openError);
        if (rig.control.mode() != ControlMode::NoDevice)
            return QStringLiteral("refused, yet a device is open");
        if (m_verbose)
            std::fprintf(stderr, "  refused: %d %s\n", openError, qPrintable(message));
        return {};
    }

    ++tally.opened;
    if (!rig.control.errorMessage().isEmpty())
        return QStringLiteral("opened with a message: %1").arg(rig.control.errorMessage());
    const std::int32_t length = rig.length();
    tally.longestLengthMs = std::max<std::int64_t>(tally.longestLengthMs, length);
    if (length < 0)
        return QStringLiteral("opened with Length %1").arg(length);
    if (rig.position() != 0)
        return QStringLiteral("opened at Position %1").arg(rig.position());
    if (m_verbose)
        std::fprintf(stderr, "  opened: Length %d\n", length);

    const bool tooLong = length > kLongestPlayMs;
    const qint64 bound = kPlaySlackMs + (tooLong ? 0 : length / kMinSpeedUp);
    m_watch.arm(QStringLiteral("playing ") + what, int(bound) + kStepBoundMs, mutant.files);
    rig.command("Play");
    if (rig.error() != 0) {
        m_watch.disarm();
        return QStringLiteral("Play failed with Error %1: %2")
            .arg(rig.error())
            .arg(rig.control.errorMessage());
    }
    QString problem;
    if (tooLong) {
        // Played for a moment, then stopped: the play must end with Done(aborted) at once.
        QTest::qWait(50);
        if (rig.done.isEmpty()) {
            rig.command("Stop");
            if (!rig.waitForDone(bound))
                problem = QStringLiteral("no Done after Stop");
            else if (rig.done.first() != MediaControl::kNotifyAborted)
                problem = QStringLiteral("Done(%1) after Stop").arg(rig.done.first());
            else if (rig.position() < 0 || rig.position() > length)
                problem = QStringLiteral("stopped at Position %1 of Length %2")
                              .arg(rig.position())
                              .arg(length);
            else
                ++tally.stoppedLong;
        }
    } else if (!rig.waitForDone(bound)) {
        problem = QStringLiteral("the play did not end within %1 ms (Position %2 of Length %3)")
                      .arg(bound)
                      .arg(rig.position())
                      .arg(length);
    }
    if (problem.isEmpty() && !rig.done.isEmpty() &&
        rig.done.first() != MediaControl::kNotifyAborted) {
        const int code = rig.done.first();
        if (code == MediaControl::kNotifySuccessful) {
            ++tally.playedToEnd;
            if (rig.position() != length)
                problem = QStringLiteral("played to the end at Position %1 of Length %2")
                              .arg(rig.position())
                              .arg(length);
            else if (rig.control.mode() != ControlMode::Stopped)
                problem = QStringLiteral("not stopped at the end");
        } else if (code == MediaControl::kNotifyFailure) {
            ++tally.failedWhilePlaying;
            const QString message = rig.control.errorMessage();
            tally.messages[messageKey(rig.error(), message, m_dir.path())]++;
            if (rig.error() <= 0 || message.trimmed().isEmpty())
                problem = QStringLiteral("failed while playing with Error %1 and message \"%2\"")
                              .arg(rig.error())
                              .arg(message);
            else if (rig.position() < 0 || rig.position() > length)
                problem = QStringLiteral("failed at Position %1 of Length %2")
                              .arg(rig.position())
                              .arg(length);
        } else {
            problem = QStringLiteral("the play ended with Done(%1)").arg(code);
        }
    }
    if (problem.isEmpty() && rig.output && rig.output->nullPictures() > 0)
        problem = QStringLiteral("%1 empty pictures shown").arg(rig.output->nullPictures());

    // Closing ends nothing more: the play has reported its one Done.
    m_watch.arm(QStringLiteral("closing ") + what, kStepBoundMs, mutant.files);
    rig.command("Close");
    QTest::qWait(1);
    m_watch.disarm();
    if (problem.isEmpty() && rig.done.size() != 1)
        problem = QStringLiteral("%1 Done events for one play").arg(rig.done.size());
    if (m_verbose)
        std::fprintf(stderr, "  played: Done %s\n",
                     qPrintable(rig.done.isEmpty() ? QStringLiteral("none")
                                                   : QString::number(rig.done.first())));
    return problem;
}

void TestMutatedMedia::waveAudio()
{
    const auto wave = [this](const QString &name, WavOptions options) {
        const QString path = m_dir.filePath(QStringLiteral("base.wav"));
        QString why;
        if (!WavWriter::write(path, options, &why))
            qFatal("cannot write %s: %s", qPrintable(name), qPrintable(why));
        return std::pair{name, readFile(path)};
    };
    WavOptions pcm16;
    pcm16.sampleRate = 8000;
    pcm16.frames = 2000;
    pcm16.chunksBeforeData = true;
    pcm16.chunksAfterData = true;
    WavOptions adpcm;
    adpcm.encoding = WavEncoding::ImaAdpcm;
    adpcm.sampleRate = 8000;
    adpcm.channels = 1;
    adpcm.frames = 2000;
    WavOptions floats;
    floats.encoding = WavEncoding::Float32;
    floats.extensible = true;
    floats.sampleRate = 8000;
    floats.frames = 1000;
    WavOptions mulaw;
    mulaw.encoding = WavEncoding::MuLaw;
    mulaw.sampleRate = 8000;
    mulaw.channels = 1;
    mulaw.frames = 2000;
    mulaw.factChunk = true;
    WavOptions pcm8;
    pcm8.encoding = WavEncoding::Pcm8;
    pcm8.sampleRate = 11025;
    pcm8.channels = 1;
    pcm8.frames = 1500;
    const QList<std::pair<QString, QByteArray>> bases{
        wave(QStringLiteral("pcm16 stereo, chunks around the data"), pcm16),
        wave(QStringLiteral("IMA ADPCM mono"), adpcm),
        wave(QStringLiteral("extensible float stereo"), floats),
        wave(QStringLiteral("mu-law mono with fact"), mulaw),
        wave(QStringLiteral("pcm8 mono"), pcm8)};
    runMedium(QStringLiteral("WAVE"), QStringLiteral("WaveAudio"),
              binaryMaker(bases, ChunkLayout::Riff, 0x57415645, QStringLiteral("wav")));
}

void TestMutatedMedia::sequencer()
{
    const Result<fluid_sfont_t *> font = SoundFontLibrary::instance().soundFont();
    if (!font.ok())
        QSKIP("no SoundFont on this machine");

    QList<std::pair<QString, QByteArray>> bases;
    {
        MidiWriter w(1, 480);
        w.track()
            .meta(0, 0x03, "Tempo map")
            .meta(0, 0x58, QByteArray::fromHex("04021808"))
            .tempo(0, 500000)
            .tempo(960, 250000)
            .endOfTrack(960);
        w.track()
            .sysex(0, MidiWriter::gmReset())
            .programChange(0, 0, 19)
            .controlChange(0, 0, 7, 100)
            .noteOn(0, 0, 60, 100)
            .pitchBend(240, 0, 10000)
            .noteOff(240, 0, 60)
            .noteOn(0, 0, 64, 90)
            .keyPressure(120, 0, 64, 50)
            .channelPressure(120, 0, 40)
            .noteOff(240, 0, 64)
            .endOfTrack(0);
        w.track()
            .noteOn(0, 9, 36, 120)
            .noteOff(240, 9, 36)
            .noteOn(240, 9, 38, 120)
            .noteOff(240, 9, 38)
            .endOfTrack(0);
        w.setRunningStatus(true);
        bases.append({QStringLiteral("format 1, three tracks, running status"), w.bytes()});
    }
    {
        MidiWriter w(0, 96);
        w.track()
            .tempo(0, 600000)
            .sysex(0, MidiWriter::gsReset())
            .programChange(0, 1, 40)
            .noteOn(0, 1, 67, 80)
            .noteOn(0, 9, 42, 80)
            .noteOff(96, 1, 67)
            .noteOff(0, 9, 42)
            .meta(48, 0x01, "text")
            .controlChange(0, 1, 64, 127)
            .noteOn(0, 1, 69, 80)
            .noteOff(96, 1, 69)
            .endOfTrack(48);
        bases.append({QStringLiteral("format 0, GS reset, sustain"), w.bytes()});
    }
    {
        MidiWriter w(1, MidiWriter::smpteDivision(25, 40));
        w.track().noteOn(0, 2, 50, 100).noteOff(500, 2, 50).endOfTrack(0);
        w.track().noteOn(250, 3, 55, 100).noteOff(500, 3, 55).endOfTrack(0);
        w.addChunk("XFIH", "foreign");
        bases.append({QStringLiteral("format 1, SMPTE division, a foreign chunk"), w.bytes()});
    }
    runMedium(QStringLiteral("MIDI"), QStringLiteral("Sequencer"),
              binaryMaker(bases, ChunkLayout::Midi, 0x4D546864, QStringLiteral("mid")));
}

void TestMutatedMedia::aviVideo()
{
    QList<std::pair<QString, QByteArray>> bases;
    const auto movie = [&](const QString &name, const MovieOptions &options) {
        if (!MovieWriter::canWrite(options))
            return;
        const QString path = m_dir.filePath(QStringLiteral("base.avi"));
        QString why;
        if (!MovieWriter::write(path, options, &why))
            qFatal("cannot write %s: %s", qPrintable(name), qPrintable(why));
        bases.append({name, readFile(path)});
    };
    MovieOptions mpeg4;
    mpeg4.codec = MovieCodec::Mpeg4Xvid;
    mpeg4.audio = MovieAudio::Pcm16;
    mpeg4.audioRate = 8000;
    mpeg4.audioChannels = 1;
    mpeg4.rateNum = 10;
    mpeg4.frames = 8;
    mpeg4.keyInterval = 4;
    movie(QStringLiteral("MPEG-4 with PCM"), mpeg4);
    MovieOptions mjpeg;
    mjpeg.codec = MovieCodec::Mjpeg;
    mjpeg.audio = MovieAudio::ImaAdpcm;
    mjpeg.audioRate = 11025;
    mjpeg.width = 32;
    mjpeg.height = 24;
    mjpeg.rateNum = 10;
    mjpeg.frames = 6;
    movie(QStringLiteral("MJPEG with IMA ADPCM"), mjpeg);
    MovieOptions raw;
    raw.codec = MovieCodec::RawVideo;
    raw.width = 16;
    raw.height = 12;
    raw.rateNum = 8;
    raw.frames = 6;
    movie(QStringLiteral("raw video, no sound"), raw);
    MovieOptions msvc;
    msvc.codec = MovieCodec::MsVideo1;
    msvc.width = 32;
    msvc.height = 24;
    msvc.rateNum = 10;
    msvc.frames = 5;
    msvc.audio = MovieAudio::Pcm16;
    msvc.audioRate = 8000;
    msvc.audioMs = 300; // shorter than the pictures
    movie(QStringLiteral("MS Video 1, short sound"), msvc);
    QVERIFY(!bases.isEmpty());
    runMedium(QStringLiteral("AVI"), QStringLiteral("AVIVideo"),
              binaryMaker(bases, ChunkLayout::Riff, 0x41564920, QStringLiteral("avi")));
}

void TestMutatedMedia::cdAudio()
{
    struct Disc {
        QString name;
        QByteArray cue;
        QByteArray bin;
        std::vector<std::int32_t> trackStarts;
    };
    std::vector<Disc> discs;
    const auto disc = [&](const QString &name, const CdImageOptions &options) {
        QString why;
        const auto written =
            CdImageWriter::write(m_dir.filePath(QStringLiteral("base.cue")), options, &why);
        if (!written)
            qFatal("cannot write %s: %s", qPrintable(name), qPrintable(why));
        discs.push_back(
            {name, readFile(written->cuePath), readFile(written->binPath), written->trackStarts});
        QFile::remove(written->cuePath);
        QFile::remove(written->binPath);
    };
    disc(QStringLiteral("two audio tracks"), CdImageOptions{{{true, 60}, {true, 30}}, 0});
    disc(QStringLiteral("audio, data, audio"),
         CdImageOptions{{{true, 40}, {false, 20}, {true, 25}}, 0});
    disc(QStringLiteral("data first"), CdImageOptions{{{false, 20}, {true, 45}}, 0});

    // The statements of a cue sheet, for insertions.
    const QList<QByteArray> statements{"  TRACK 02 AUDIO",
                                       "    INDEX 00 00:00:00",
                                       "    INDEX 01 00:00:30",
                                       "    INDEX 01 99:59:74",
                                       "  PREGAP 00:02:00",
                                       "  POSTGAP 00:01:00",
                                       "FILE \"base.bin\" BINARY",
                                       "FILE \"other.bin\" WAVE",
                                       "CATALOG 0000000000000",
                                       "  ISRC ABCDE1234567",
                                       "REM GENRE Noise",
                                       "  TRACK 99 MODE1/2352",
                                       "  TRACK 00 AUDIO",
                                       "    INDEX 02 00:00:10",
                                       "  FLAGS DCP PRE",
                                       "CDTEXTFILE \"x.cdt\"",
                                       "TITLE \"\"",
                                       "  TRACK 01 AUDIO"};

    const MutantMaker make = [&](int index) {
        const Disc &base = discs[std::size_t(index) % discs.size()];
        MutationRng rng(0x43444441ull * 0x100000001B3ull + std::uint64_t(index));
        QByteArray cue = base.cue;
        QByteArray bin = base.bin;
        bool withBin = true;
        QStringList what;
        const int kind = rng.below(100);
        if (kind < 45 || kind >= 85) {
            const int edits = rng.percent(70) ? 1 : 2;
            for (int i = 0; i < edits; ++i) {
                const Mutation m = Mutator::mutateLines(cue, statements, rng);
                cue = m.bytes;
                what << QStringLiteral("cue: ") + m.description;
            }
        } else if (kind < 60) {
            QString d = QStringLiteral("cue: ");
            Mutator::damageBytes(cue, rng, d);
            what << d;
        }
        if (kind >= 60) {
            const qint64 sectors = bin.size() / CdImageWriter::kBytesPerSector;
            const std::int32_t track = base.trackStarts[rng.below(base.trackStarts.size())];
            switch (rng.below(7)) {
            case 0:
                bin.truncate(rng.below(qint64(bin.size())));
                what << QStringLiteral("bin cut to %1 bytes").arg(bin.size());
                break;
            case 1:
                bin.truncate(rng.below(sectors) * CdImageWriter::kBytesPerSector);
                what << QStringLiteral("bin cut to %1 sectors")
                            .arg(bin.size() / CdImageWriter::kBytesPerSector);
                break;
            case 2: {
                const qint64 cut =
                    std::max<qint64>(0, track + rng.below(3) - 1) * CdImageWriter::kBytesPerSector;
                bin.truncate(cut);
                what << QStringLiteral("bin cut near the start of a track, %1 bytes").arg(cut);
                break;
            }
            case 3:
                bin.clear();
                what << QStringLiteral("bin empty");
                break;
            case 4:
                withBin = false;
                what << QStringLiteral("no bin");
                break;
            case 5:
                bin.append(QByteArray(1 + rng.below(CdImageWriter::kBytesPerSector - 1), '\x7F'));
                what << QStringLiteral("bin with a partial sector more");
                break;
            default: {
                QString d = QStringLiteral("bin: ");
                Mutator::damageBytes(bin, rng, d);
                what << d;
                break;
            }
            }
        }
        const QString cuePath = m_dir.filePath(QStringLiteral("base.cue"));
        const QString binPath = m_dir.filePath(QStringLiteral("base.bin"));
        if (!writeFile(cuePath, cue) || (withBin && !writeFile(binPath, bin)))
            qFatal("cannot write the image");
        QStringList files{cuePath};
        if (withBin)
            files << binPath;
        return Mutant{cuePath, files,
                      base.name + QStringLiteral(": ") + what.join(QStringLiteral("; "))};
    };
    runMedium(QStringLiteral("CD"), QStringLiteral("CDAudio"), make);
}

QTEST_MAIN(TestMutatedMedia)
#include "tst_mutatedmedia.moc"
