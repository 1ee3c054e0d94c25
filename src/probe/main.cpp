// zyr-probe: opens one medium on the real media device control and device, without windows,
// plays it to its end and prints one JSON object on one line. For tests and benchmarks; not
// part of the kit.
//
//   zyr-probe [--realtime [--maximized]] DEVICETYPE [PATH]
//   zyr-probe --decode-only AVIVideo PATH
//   zyr-probe --render-only Sequencer PATH
//
// By default the sound goes to a sink that plays faster than real time; --realtime uses the
// normal output (SDL, or the silent clock without a sound card), and shows a movie in its
// window, at the movie's size or with --maximized filling the screen's available area; for a
// movie the line then also holds the pictures shown, dropped and painted. A TERM signal ends the
// play where it is: the line is printed, and the probe then ends by the signal. --decode-only
// decodes a movie's pictures as fast as possible without converting or showing them, for
// throughput, and reports the pictures decoded. --render-only plays a MIDI file through the
// synthesizer the Sequencer device uses, into nothing and as fast as possible, the SoundFont load
// included, and reports the seconds of sound rendered. Exits 0 whenever it could report, a refused
// file included; 2 for a wrong command line.

#include "media/devices/AviVideoDevice.h"
#include "media/devices/FfmpegVideoDecoder.h"
#include "media/devices/MidiFileReader.h"
#include "media/devices/MidiSynthSource.h"
#include "media/devices/SoundFontLibrary.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/MediaErrorCode.h"
#include "media/output/AudioSinkFactory.h"
#include "media/output/TestAudioSink.h"
#include "media/VideoWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// How long a play may take beyond the medium's own length before the probe gives up.
constexpr int kPlayGraceMs = 30000;

int usage()
{
    std::fputs("usage: zyr-probe [--realtime [--maximized]] DEVICETYPE [PATH]\n"
               "       zyr-probe --decode-only AVIVideo PATH\n"
               "       zyr-probe --render-only Sequencer PATH\n",
               stderr);
    return 2;
}

void printJson(const QJsonObject &out)
{
    std::fputs(QJsonDocument(out).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Decodes every picture of the movie without converting it; the figure to set beside
// `ffmpeg -i FILE -f null -`.
int decodeOnly(const QString &path)
{
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuSeconds();
    QJsonObject out{{QStringLiteral("device"), QStringLiteral("AVIVideo")},
                    {QStringLiteral("path"), path}};
    auto decoder = zyr::media::FfmpegVideoDecoder::open(path);
    std::int64_t frames = 0;
    QString message;
    if (!decoder.ok()) {
        message = decoder.error().message;
    } else {
        for (;;) {
            const auto skipped = decoder.value()->skip();
            if (!skipped.ok()) {
                message = skipped.error().message;
                break;
            }
            if (!skipped.value())
                break;
            ++frames;
        }
        out.insert(QStringLiteral("length_ms"), qint64(decoder.value()->lengthMs()));
    }
    out.insert(QStringLiteral("error"),
               decoder.ok() ? 0 : int(zyr::media::errorCodeFor(decoder.error().kind)));
    out.insert(QStringLiteral("message"), message);
    out.insert(QStringLiteral("frames"), qint64(frames));
    out.insert(QStringLiteral("wall_s"), double(wall.nsecsElapsed()) / 1e9);
    out.insert(QStringLiteral("cpu_s"), cpuSeconds() - cpuStart);
    printJson(out);
    return 0;
}

// Frames the synthesizer renders per read: what the device's playback worker asks for.
constexpr std::size_t kRenderChunkFrames = 2048;

// Renders the whole sequence and its ringing tail into a scratch buffer, as fast as possible;
// the figure to set beside `fluidsynth -F FILE SOUNDFONT SONG`.
int renderOnly(const QString &path)
{
    using namespace zyr::media;
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuSeconds();
    QJsonObject out{{QStringLiteral("device"), QStringLiteral("Sequencer")},
                    {QStringLiteral("path"), path}};
    std::int64_t frames = 0;
    std::optional<MediaError> failure; // none while all goes well
    double soundFontS = 0;
    Result<MidiSequence> sequence = MidiFileReader::readFile(path);
    if (!sequence.ok()) {
        failure = sequence.error();
    } else {
        const double loadStart = cpuSeconds();
        const Result<fluid_sfont_t *> soundFont = SoundFontLibrary::instance().soundFont();
        soundFontS = cpuSeconds() - loadStart;
        if (!soundFont.ok()) {
            failure = soundFont.error();
        } else {
            MidiSynthSource source(std::move(sequence).value(), soundFont.value());
            const AudioFormat format{MidiSynthSource::kPreferredRate, 2};
            if (const Result<void> set = source.setOutputFormat(format); !set.ok())
                failure = set.error();
            std::vector<float> scratch(kRenderChunkFrames * 2);
            while (!failure) {
                const Result<std::size_t> got = source.read(scratch.data(), kRenderChunkFrames);
                if (!got.ok()) {
                    failure = got.error();
                    break;
                }
                if (got.value() == 0)
                    break;
                frames += std::int64_t(got.value());
            }
            out.insert(QStringLiteral("soundfont"), SoundFontLibrary::instance().path());
        }
    }
    out.insert(QStringLiteral("error"), failure ? int(errorCodeFor(failure->kind)) : 0);
    out.insert(QStringLiteral("message"), failure ? failure->message : QString());
    out.insert(QStringLiteral("rendered_s"), double(frames) / MidiSynthSource::kPreferredRate);
    out.insert(QStringLiteral("soundfont_load_cpu_s"), soundFontS);
    out.insert(QStringLiteral("wall_s"), double(wall.nsecsElapsed()) / 1e9);
    out.insert(QStringLiteral("cpu_s"), cpuSeconds() - cpuStart);
    printJson(out);
    return 0;
}

// SIGTERM as a file descriptor the event loop watches, so that a play ended from outside
// (a benchmark's time limit) still reports. Blocked before any thread starts, so that every
// thread leaves it to the descriptor.
class TermSignal {
public:
    TermSignal()
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
        m_fd = signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    TermSignal(const TermSignal &) = delete;
    TermSignal &operator=(const TermSignal &) = delete;
    ~TermSignal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }
    // Leaves the signal to its default again on this thread (the modes that do not report
    // on it): the process ends at once.
    void release() { pthread_sigmask(SIG_UNBLOCK, &m_set, nullptr); }
    // Ends the process by the signal, as it would have ended without the descriptor.
    [[noreturn]] void endBySignal()
    {
        std::signal(SIGTERM, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &m_set, nullptr);
        std::raise(SIGTERM);
        std::_Exit(128 + SIGTERM);
    }

private:
    sigset_t m_set{};
    int m_fd = -1;
};

} // namespace

int main(int argc, char **argv)
{
    TermSignal term;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool realtime = args.removeAll(QStringLiteral("--realtime")) > 0;
    const bool maximized = args.removeAll(QStringLiteral("--maximized")) > 0;
    if (maximized && !realtime)
        return usage();
    if (args.contains(QStringLiteral("--decode-only")) ||
        args.contains(QStringLiteral("--render-only")))
        term.release();
    if (args.removeAll(QStringLiteral("--decode-only")) > 0) {
        if (args.size() != 2 ||
            args[0].compare(QLatin1String("AVIVideo"), Qt::CaseInsensitive) != 0)
            return usage();
        return decodeOnly(args[1]);
    }
    if (args.removeAll(QStringLiteral("--render-only")) > 0) {
        if (args.size() != 2 ||
            args[0].compare(QLatin1String("Sequencer"), Qt::CaseInsensitive) != 0)
            return usage();
        return renderOnly(args[1]);
    }
    if (args.isEmpty() || args.size() > 2 || args.front().startsWith(QLatin1Char('-')))
        return usage();
    const QString deviceType = args.value(0);
    const QString path = args.value(1);

    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuSeconds();

    using namespace zyr::media;
    MediaControl control(MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF));
    // Real time: the normal output, and movies in their window. Otherwise a sink faster than
    // real time and no pictures shown.
    DeviceContext context;
    context.sinks = realtime ? defaultAudioSinkFactory()
                             : AudioSinkFactory([] { return std::make_unique<TestAudioSink>(); });
    if (realtime)
        context.videoOutputs = videoWindowFactory(maximized ? VideoWindow::Placement::FillScreen
                                                            : VideoWindow::Placement::MovieSize);
    // The device types as the control makes them, keeping hold of a movie to count its pictures.
    QPointer<AviVideoDevice> movie;
    context.makeDevice = [&movie, base = context](const QString &type) {
        const DeviceType *known = findDeviceType(type);
        std::unique_ptr<MediaDevice> device = known ? known->make(base) : nullptr;
        movie = qobject_cast<AviVideoDevice *>(device.get());
        return device;
    };
    control.setDeviceContext(std::move(context));
    QJsonArray doneCodes;
    QObject::connect(&control, &MediaControl::done, &app, [&](int code) {
        doneCodes.append(code);
        QCoreApplication::exit(0);
    });
    bool terminated = false;
    QSocketNotifier termNotifier(term.fd(), QSocketNotifier::Read);
    QObject::connect(&termNotifier, &QSocketNotifier::activated, &app, [&] {
        terminated = true;
        QCoreApplication::exit(0);
    });

    control.put(MediaControl::kDeviceType, deviceType);
    control.put(MediaControl::kFileName, path);
    control.put(MediaControl::kCommand, QStringLiteral("Open"));
    const std::int16_t openError = control.error();
    QString message = control.errorMessage();
    const std::int32_t length = control.length();
    bool timedOut = false;
    if (openError <= 0) {
        control.put(MediaControl::kCommand, QStringLiteral("Play"));
        QTimer::singleShot((realtime ? length : 0) + kPlayGraceMs, &app, [&] {
            timedOut = true;
            QCoreApplication::exit(0);
        });
        QCoreApplication::exec();
        if (terminated)
            message = QStringLiteral("The play was ended by a TERM signal.");
        else if (timedOut)
            message = QStringLiteral("The play did not end in time.");
        else if (control.error() > 0)
            message = control.errorMessage();
    }

    QJsonObject out{{QStringLiteral("device"), deviceType},
                    {QStringLiteral("path"), path},
                    {QStringLiteral("error"), openError > 0 ? openError : control.error()},
                    {QStringLiteral("message"), message},
                    {QStringLiteral("length_ms"), length},
                    {QStringLiteral("position_ms"), control.position()},
                    {QStringLiteral("done"), doneCodes},
                    {QStringLiteral("wall_s"), double(wall.nsecsElapsed()) / 1e9},
                    {QStringLiteral("cpu_s"), cpuSeconds() - cpuStart}};
    if (movie && realtime) {
        out.insert(QStringLiteral("pictures_shown"), qint64(movie->picturesShown()));
        out.insert(QStringLiteral("pictures_dropped"), qint64(movie->droppedFrames()));
        if (const auto *window = dynamic_cast<const zyr::media::VideoWindow *>(movie->output()))
            out.insert(QStringLiteral("pictures_painted"), qint64(window->picturesPainted()));
    }
    printJson(out);
    if (terminated)
        term.endBySignal();
    return 0;
}
