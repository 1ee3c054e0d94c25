#include "app/OutsideMedium.h"

#include "media/core/BlockDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace zyr {

namespace {

// The bytes that tell the kinds apart: a RIFF form type at offset 8, or a MIDI header at 0.
constexpr qint64 kSniffBytes = 12;

bool looksLikeUri(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(text).hasMatch() && !QFileInfo::exists(text);
}

std::optional<WindowClass> playerByContent(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(kSniffBytes);
    if (head.startsWith("MThd"))
        return WindowClass::MidiPlayer;
    if (head.size() == kSniffBytes && head.startsWith("RIFF")) {
        const QByteArray form = head.mid(8, 4);
        if (form == "WAVE")
            return WindowClass::WavPlayer;
        if (form == "AVI ")
            return WindowClass::AviViewer;
    }
    return std::nullopt;
}

std::optional<WindowClass> playerByExtension(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("wav") || suffix == QLatin1String("wave"))
        return WindowClass::WavPlayer;
    if (suffix == QLatin1String("mid") || suffix == QLatin1String("midi"))
        return WindowClass::MidiPlayer;
    if (suffix == QLatin1String("avi"))
        return WindowClass::AviViewer;
    if (suffix == QLatin1String("cue"))
        return WindowClass::CdPlayer;
    return std::nullopt;
}

} // namespace

OutsideMedium identifyMedium(const QString &fileOrUri)
{
    QString path = fileOrUri;
    if (looksLikeUri(fileOrUri)) {
        const QUrl url(fileOrUri);
        // cdda://sr0 names the drive /dev/sr0 (anything after the host is a track within it);
        // cdda:///dev/sr0 names the node itself.
        if (url.scheme().compare(QLatin1String("cdda"), Qt::CaseInsensitive) == 0) {
            const QString node =
                url.host().isEmpty() ? url.path() : QStringLiteral("/dev/") + url.host();
            if (node.isEmpty() || node == QLatin1String("/"))
                return {fileOrUri, std::nullopt};
            return {node, WindowClass::CdPlayer};
        }
        if (!url.isLocalFile())
            return {fileOrUri, std::nullopt};
        path = url.toLocalFile();
    }
    path = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    if (media::isBlockDevice(path))
        return {path, WindowClass::CdPlayer};
    // Only a regular file is read: a pipe or a terminal would wait for input.
    if (!QFileInfo(path).isFile())
        return {path, std::nullopt};
    if (const std::optional<WindowClass> player = playerByContent(path))
        return {path, player};
    return {path, playerByExtension(path)};
}

QStringList openedUriSchemes()
{
    return {QStringLiteral("file"), QStringLiteral("cdda")};
}

QStringList openedMediaTypes()
{
    return {QStringLiteral("audio/x-wav"),      QStringLiteral("audio/wav"),
            QStringLiteral("audio/vnd.wave"),   QStringLiteral("audio/midi"),
            QStringLiteral("audio/x-midi"),     QStringLiteral("video/x-msvideo"),
            QStringLiteral("video/avi"),        QStringLiteral("video/msvideo"),
            QStringLiteral("application/x-cue")};
}

QString mediumUri(const QString &fileOrUri)
{
    if (looksLikeUri(fileOrUri))
        return fileOrUri;
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(fileOrUri))
        .toString(QUrl::FullyEncoded);
}

} // namespace zyr
