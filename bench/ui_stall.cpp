// ui_stall: the longest time the UI thread is kept from its events while a medium plays in its
// real player window. The kit starts as main() starts it (the main menu shown), goes to the
// player for the device type as the main menu does, opens FILE on the window's own media
// device control and plays it; meanwhile a 1 ms timer on the UI thread notes every gap
// between its ticks, in wall time and in the UI thread's own CPU time. A gap in wall time also
// holds the time the thread waited for a core, which a loaded machine adds; the CPU time the
// thread spent between two ticks is the kit's own stall. The same probe runs first for as long
// with the player window open and nothing playing. Prints one JSON line.
//
//   ui_stall [--seconds S] DEVICETYPE FILE      (DEVICETYPE: WaveAudio, Sequencer, AVIVideo)

#include "BenchStats.h"

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/Navigation.h"
#include "app/WindowRegistry.h"
#include "media/MediaControl.h"
#include "support/ThreadCpuTime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

// Gaps above this count as stalls: one frame at 60 Hz.
constexpr double kStallMs = 16.0;
constexpr int kTickMs = 1;

struct Gaps {
    std::vector<double> ms;   // every gap between two ticks, beyond the tick interval
    std::vector<double> busy; // the UI thread's CPU time within each gap
    int over = 0;             // gaps that exceeded kStallMs
    int busyOver = 0;         // gaps in which the thread itself ran for more than kStallMs
};

// Runs the UI thread's event loop for `seconds` with a 1 ms precise timer and notes the gaps.
Gaps probe(double seconds)
{
    Gaps gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double lastCpu = zyr::test::threadCpuMs();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = zyr::test::threadCpuMs();
        const double gap = std::max(0.0, double(now - last) / 1e6 - kTickMs);
        gaps.ms.push_back(gap);
        gaps.busy.push_back(cpu - lastCpu);
        if (gap > kStallMs)
            ++gaps.over;
        if (cpu - lastCpu > kStallMs)
            ++gaps.busyOver;
        last = now;
        lastCpu = cpu;
    });
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    tick.start();
    loop.exec();
    return gaps;
}

void addGaps(QJsonObject &out, const QString &prefix, Gaps gaps)
{
    std::sort(gaps.ms.begin(), gaps.ms.end());
    const auto at = [&](double q) {
        return gaps.ms.empty() ? -1.0 : gaps.ms[std::size_t(q * double(gaps.ms.size() - 1))];
    };
    out.insert(prefix + QStringLiteral("_max_gap_ms"), gaps.ms.empty() ? -1.0 : gaps.ms.back());
    out.insert(prefix + QStringLiteral("_p99_gap_ms"), at(0.99));
    out.insert(prefix + QStringLiteral("_ticks"), qint64(gaps.ms.size()));
    out.insert(prefix + QStringLiteral("_stalls_over_16ms"), gaps.over);
    std::sort(gaps.busy.begin(), gaps.busy.end());
    out.insert(prefix + QStringLiteral("_max_busy_ms"),
               gaps.busy.empty() ? -1.0 : gaps.busy.back());
    out.insert(prefix + QStringLiteral("_busy_over_16ms"), gaps.busyOver);
}

std::optional<zyr::WindowClass> playerFor(const QString &deviceType)
{
    if (deviceType.compare(QLatin1String("WaveAudio"), Qt::CaseInsensitive) == 0)
        return zyr::WindowClass::WavPlayer;
    if (deviceType.compare(QLatin1String("Sequencer"), Qt::CaseInsensitive) == 0)
        return zyr::WindowClass::MidiPlayer;
    if (deviceType.compare(QLatin1String("AVIVideo"), Qt::CaseInsensitive) == 0)
        return zyr::WindowClass::AviViewer;
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    zyr::setUpApplication(app);
    QStringList args = QCoreApplication::arguments().mid(1);
    double seconds = 10;
    if (args.size() >= 2 && args[0] == QLatin1String("--seconds")) {
        seconds = std::max(1.0, args[1].toDouble());
        args = args.mid(2);
    }
    const std::optional<zyr::WindowClass> player =
        args.size() == 2 ? playerFor(args[0]) : std::nullopt;
    if (!player) {
        std::fputs("usage: ui_stall [--seconds S] WaveAudio|Sequencer|AVIVideo FILE\n", stderr);
        return 2;
    }

    zyr::WindowRegistry registry(zyr::kitWindowFactories());
    zyr::WindowRegistry::show(registry.get(zyr::WindowClass::MainMenu));
    zyr::navigateForward(registry, *player);
    auto *control =
        registry.get(*player).findChild<zyr::media::MediaControl *>(QStringLiteral("MMControl1"));
    if (!control) {
        std::fputs("the player has no media device control\n", stderr);
        return 1;
    }
    QJsonObject out{{QStringLiteral("device"), args[0]},
                    {QStringLiteral("file"), args[1]},
                    {QStringLiteral("seconds"), seconds}};
    addGaps(out, QStringLiteral("idle"), probe(seconds));

    control->put(zyr::media::MediaControl::kDeviceType, args[0]);
    control->put(zyr::media::MediaControl::kFileName, args[1]);
    QElapsedTimer openTime;
    const double openCpu = zyr::test::threadCpuMs();
    openTime.start();
    control->put(zyr::media::MediaControl::kCommand, QStringLiteral("Open"));
    out.insert(QStringLiteral("open_ms"), double(openTime.nsecsElapsed()) / 1e6);
    out.insert(QStringLiteral("open_ui_cpu_ms"), zyr::test::threadCpuMs() - openCpu);
    if (control->error() > 0) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(control->errorMessage()));
        return 1;
    }
    control->put(zyr::media::MediaControl::kCommand, QStringLiteral("Play"));
    addGaps(out, QStringLiteral("playing"), probe(seconds));
    out.insert(QStringLiteral("position_ms"), control->position());
    control->put(zyr::media::MediaControl::kCommand, QStringLiteral("Close"));
    std::puts(QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    return 0;
}
