#include "media/devices/CdAudioDevice.h"

#include "media/devices/CdAudioSource.h"
#include "media/devices/LibcdioDrive.h"

#include <QFile>

#include <sys/stat.h>

namespace zyr::media {

namespace {

std::int64_t framesToMs(std::int64_t frames)
{
    return (frames * 1000 + CdToc::kSampleRate / 2) / CdToc::kSampleRate;
}

bool isBlockDevice(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISBLK(info.st_mode);
}

MediaError noDisc()
{
    return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No disc in the drive."));
}

} // namespace

CdAudioDevice::CdAudioDevice(AudioSinkFactory sinks, DriveFactory drives, QObject *parent)
    : MediaDevice(parent), m_sinks(std::move(sinks)),
      m_drives(drives ? std::move(drives) : DriveFactory(&CdAudioDevice::defaultDrive))
{
}

CdAudioDevice::~CdAudioDevice()
{
    m_playback.reset();
    if (m_trayMover.joinable())
        m_trayMover.join();
}

std::shared_ptr<CdDrive> CdAudioDevice::defaultDrive(const QString &fileName)
{
    if (fileName.isEmpty())
        return std::make_shared<LibcdioDrive>();
    if (isBlockDevice(fileName))
        return std::make_shared<LibcdioDrive>(LibcdioDrive::Node{fileName});
    return std::make_shared<LibcdioDrive>(fileName);
}

Result<void> CdAudioDevice::open(const QString &fileName)
{
    m_playback.reset();
    m_drive = m_drives(fileName);
    if (!m_drive)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No CD drive."));
    return openDisc();
}

Result<void> CdAudioDevice::openDisc()
{
    m_playback.reset();
    Result<CdToc> toc = m_drive->readToc();
    if (!toc.ok())
        return toc.error();
    m_toc = std::move(toc).value();
    std::unique_ptr<AudioSink> sink = m_sinks ? m_sinks() : nullptr;
    if (!sink)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No audio output."));
    m_playback = std::make_unique<AudioPlayback>(std::make_unique<CdAudioSource>(m_drive, m_toc),
                                                 std::move(sink));
    connect(m_playback.get(), &AudioPlayback::finished, this, &MediaDevice::playbackFinished);
    connect(m_playback.get(), &AudioPlayback::failed, this, &MediaDevice::playbackFailed);
    return {};
}

Result<void> CdAudioDevice::play()
{
    if (!m_playback)
        return noDisc();
    m_playback->play();
    return {};
}

Result<void> CdAudioDevice::pause()
{
    if (!m_playback)
        return noDisc();
    m_playback->pause();
    return {};
}

Result<void> CdAudioDevice::stop()
{
    if (!m_playback)
        return noDisc();
    m_playback->stop();
    return {};
}

Result<void> CdAudioDevice::seek(std::int64_t positionMs)
{
    if (!m_playback)
        return noDisc();
    m_playback->seekToFrame(positionMs * CdToc::kSampleRate / 1000);
    return {};
}

Result<void> CdAudioDevice::eject()
{
    if (m_trayMover.joinable())
        m_trayMover.join();
    // The playback's reader holds the disc open; drives refuse to eject while it does.
    m_playback.reset();
    m_toc = {};
    m_trayMover = std::thread([this, drive = m_drive] {
        const Result<void> moved = drive->openTray();
        const MediaError outcome = moved.ok() ? MediaError{ErrorKind::None, {}} : moved.error();
        QMetaObject::invokeMethod(
            this, [this, outcome] { emit ejectFinished(outcome); }, Qt::QueuedConnection);
    });
    return {};
}

Result<void> CdAudioDevice::load()
{
    // A tray still on its way out is let finish before it is closed again.
    if (m_trayMover.joinable())
        m_trayMover.join();
    if (const Result<void> closed = m_drive->closeTray(); !closed.ok())
        return closed.error();
    return openDisc();
}

std::int64_t CdAudioDevice::lengthMs() const
{
    return m_playback ? framesToMs(m_playback->lengthFrames()) : 0;
}

std::int64_t CdAudioDevice::positionMs() const
{
    return m_playback ? framesToMs(m_playback->positionFrames()) : 0;
}

std::vector<std::int64_t> CdAudioDevice::trackStartsMs() const
{
    std::vector<std::int64_t> starts;
    for (std::int64_t frame : m_toc.audioTrackStartFrames())
        starts.push_back(framesToMs(frame));
    if (starts.empty())
        starts.push_back(0);
    return starts;
}

} // namespace zyr::media
