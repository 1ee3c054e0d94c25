// kit_memory: the kit's memory with its windows open. The kit starts as main() starts it (the
// main menu shown); then the main menu opens each of the four players in turn, which all stay
// open, and the MIDI player's SoundFont finishes loading. Reads VmRSS after the main menu and
// VmRSS and VmHWM with all four players open. Prints one JSON line, sizes in KiB.
//
//   kit_memory

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/Navigation.h"
#include "app/WindowRegistry.h"
#include "media/devices/SoundFontLibrary.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

namespace {

// Left to the windows to be mapped and painted before memory is read.
constexpr int kSettleMs = 500;

void settle()
{
    QEventLoop loop;
    QTimer::singleShot(kSettleMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// A "VmRSS:" style field of /proc/self/status, in KiB; -1 when absent.
qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray name = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    zyr::setUpApplication(app);
    zyr::WindowRegistry registry(zyr::kitWindowFactories());
    zyr::WindowRegistry::show(registry.get(zyr::WindowClass::MainMenu));
    settle();
    QJsonObject out{{QStringLiteral("menu_rss_kib"), statusKiB("VmRSS")}};
    for (zyr::WindowClass player : {zyr::WindowClass::WavPlayer, zyr::WindowClass::MidiPlayer,
                                    zyr::WindowClass::AviViewer, zyr::WindowClass::CdPlayer})
        zyr::navigateForward(registry, player);
    const bool soundFont = zyr::media::SoundFontLibrary::instance().soundFont().ok();
    settle();
    out.insert(QStringLiteral("players_rss_kib"), statusKiB("VmRSS"));
    out.insert(QStringLiteral("players_hwm_kib"), statusKiB("VmHWM"));
    out.insert(QStringLiteral("soundfont"),
               soundFont ? zyr::media::SoundFontLibrary::instance().path() : QString());
    std::puts(QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    return 0;
}
