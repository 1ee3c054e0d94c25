// open_latency: how long "Open" takes on the media device control, per device type, once
// what it shares is loaded; and, separately, how long the General MIDI SoundFont takes to
// load. Prints one JSON line.
//
//   open_latency [--runs N] [--real-output] DEVICETYPE FILE
//
// For "Sequencer" the first figure is the SoundFont load (waited for before the first Open);
// every Open after that is timed on its own (the device before it closed, untimed), and the
// first, median, minimum and maximum reported, and the median of the UI thread's own CPU time
// within each Open (what the wall time holds beyond it is waiting: for a core, or a lock). By
// default the sound goes to a test sink and movies are not shown; --real-output uses the kit's
// normal output (SDL) and video window.

#include "media/devices/SoundFontLibrary.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/AudioSinkFactory.h"
#include "media/output/TestAudioSink.h"
#include "media/VideoWindow.h"
#include "support/ThreadCpuTime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int runs = 50;
    if (args.size() >= 2 && args[0] == QLatin1String("--runs")) {
        runs = std::max(1, args[1].toInt());
        args = args.mid(2);
    }
    const bool realOutput = args.removeAll(QStringLiteral("--real-output")) > 0;
    if (args.size() != 2) {
        std::fputs("usage: open_latency [--runs N] [--real-output] DEVICETYPE FILE\n", stderr);
        return 2;
    }
    using namespace zyr::media;

    double soundFontMs = -1;
    if (args[0].compare(QLatin1String("Sequencer"), Qt::CaseInsensitive) == 0) {
        QElapsedTimer t;
        t.start();
        const bool ok = SoundFontLibrary::instance().soundFont().ok();
        soundFontMs = double(t.nsecsElapsed()) / 1e6;
        if (!ok) {
            std::fputs("no SoundFont\n", stderr);
            return 1;
        }
    }

    MediaControl control(MediaControlSettings::toPersisted(5927, 873, 250, 0));
    DeviceContext context;
    context.sinks = realOutput ? defaultAudioSinkFactory()
                               : AudioSinkFactory([] { return std::make_unique<TestAudioSink>(); });
    if (realOutput)
        context.videoOutputs = videoWindowFactory();
    control.setDeviceContext(std::move(context));
    control.put(MediaControl::kDeviceType, args[0]);
    control.put(MediaControl::kFileName, args[1]);
    std::vector<double> ms;
    std::vector<double> cpuMs;
    for (int i = 0; i < runs; ++i) {
        control.put(MediaControl::kCommand, QStringLiteral("Close"));
        QCoreApplication::processEvents();
        QElapsedTimer t;
        const double cpuStart = zyr::test::threadCpuMs();
        t.start();
        control.put(MediaControl::kCommand, QStringLiteral("Open"));
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        cpuMs.push_back(zyr::test::threadCpuMs() - cpuStart);
        if (control.error() > 0) {
            std::fprintf(stderr, "open failed: %s\n", qPrintable(control.errorMessage()));
            return 1;
        }
    }
    const double firstMs = ms.front();
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    const QJsonObject out{{QStringLiteral("device"), args[0]},
                          {QStringLiteral("file"), args[1]},
                          {QStringLiteral("runs"), runs},
                          {QStringLiteral("real_output"), realOutput},
                          {QStringLiteral("open_first_ms"), firstMs},
                          {QStringLiteral("soundfont_load_ms"), soundFontMs},
                          {QStringLiteral("open_median_ms"), ms[ms.size() / 2]},
                          {QStringLiteral("open_ui_cpu_median_ms"), cpuMs[cpuMs.size() / 2]},
                          {QStringLiteral("open_min_ms"), ms.front()},
                          {QStringLiteral("open_max_ms"), ms.back()}};
    std::puts(QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return 0;
}
