// play_latency: how long "Play" takes to reach the sound output, per device type, through the
// media device control and the kit's normal output (SDL; its dummy driver on a machine without
// a sound card). Each run opens the medium, waits until the device's sink is open, then times
// "Play" to the first frames handed to the sink and to the first frames the output took from it.
// Prints one JSON line.
//
//   play_latency [--runs N] DEVICETYPE FILE

#include "BenchStats.h"
#include "TimingAudioSink.h"

#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/AudioSinkFactory.h"
#include "media/VideoWindow.h"

#include <QApplication>
#include <QJsonDocument>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono_literals;
using zyr::bench::SinkStamps;

// How long the device may take to open its sink before the run counts as failed.
constexpr auto kSinkOpenTimeout = 5s;
// Left to the device after its sink opened (the synthesizer starts, pictures queue up), as a
// user would leave it before pressing Play.
constexpr auto kSettle = 200ms;
// How long a run waits for the first frames before it counts as failed.
constexpr auto kFirstFrameTimeout = 5s;

// Processes the UI thread's events until `done` holds or `timeout` passes.
template <typename Pred> bool spinUntil(Pred done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(100us);
    }
    return true;
}

double msBetween(std::int64_t from, std::int64_t to)
{
    return std::chrono::duration<double, std::milli>(SinkStamps::Clock::duration(to - from))
        .count();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int runs = 20;
    if (args.size() >= 2 && args[0] == QLatin1String("--runs")) {
        runs = std::max(1, args[1].toInt());
        args = args.mid(2);
    }
    if (args.size() != 2) {
        std::fputs("usage: play_latency [--runs N] DEVICETYPE FILE\n", stderr);
        return 2;
    }
    using namespace zyr::media;

    std::vector<double> toWrite;
    std::vector<double> toPlayed;
    int failed = 0;
    for (int i = 0; i < runs; ++i) {
        auto stamps = std::make_shared<SinkStamps>();
        // The sink the device opens last; framesPlayed() is read through it.
        auto latest = std::make_shared<std::atomic<AudioSink *>>(nullptr);
        MediaControl control(MediaControlSettings::toPersisted(5927, 873, 250, 0));
        DeviceContext context;
        context.sinks = [stamps, latest, real = defaultAudioSinkFactory()] {
            auto sink = std::make_unique<zyr::bench::TimingAudioSink>(real(), stamps);
            latest->store(sink.get());
            return std::unique_ptr<AudioSink>(std::move(sink));
        };
        context.videoOutputs = videoWindowFactory();
        control.setDeviceContext(std::move(context));
        control.put(MediaControl::kDeviceType, args[0]);
        control.put(MediaControl::kFileName, args[1]);
        control.put(MediaControl::kCommand, QStringLiteral("Open"));
        if (control.error() > 0) {
            std::fprintf(stderr, "open failed: %s\n", qPrintable(control.errorMessage()));
            return 1;
        }
        if (!spinUntil([&] { return stamps->openedAt.load() != 0; },
                       std::chrono::duration_cast<std::chrono::milliseconds>(kSinkOpenTimeout))) {
            ++failed;
            continue;
        }
        spinUntil([] { return false; }, kSettle);

        // A watcher notes when the output first took frames, without waiting on the UI thread.
        std::atomic<std::int64_t> playedAt{0};
        std::atomic<bool> stopWatching{false};
        AudioSink *sink = latest->load();
        std::thread watcher([&] {
            while (!stopWatching.load()) {
                if (sink->framesPlayed() > 0) {
                    playedAt.store(SinkStamps::now());
                    return;
                }
                std::this_thread::sleep_for(100us);
            }
        });
        stamps->arm();
        const std::int64_t playAt = SinkStamps::now();
        control.put(MediaControl::kCommand, QStringLiteral("Play"));
        const bool ok =
            spinUntil([&] { return stamps->firstWriteAt.load() != 0 && playedAt.load() != 0; },
                      std::chrono::duration_cast<std::chrono::milliseconds>(kFirstFrameTimeout));
        stopWatching.store(true);
        watcher.join();
        if (!ok) {
            ++failed;
        } else {
            toWrite.push_back(msBetween(playAt, stamps->firstWriteAt.load()));
            toPlayed.push_back(msBetween(playAt, playedAt.load()));
        }
        control.put(MediaControl::kCommand, QStringLiteral("Close"));
    }

    QJsonObject out{{QStringLiteral("device"), args[0]},
                    {QStringLiteral("file"), args[1]},
                    {QStringLiteral("runs"), runs},
                    {QStringLiteral("failed"), failed}};
    zyr::bench::addStats(out, QStringLiteral("play_to_first_write_ms"), toWrite);
    zyr::bench::addStats(out, QStringLiteral("play_to_first_played_ms"), toPlayed);
    std::puts(QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return failed == 0 ? 0 : 1;
}
