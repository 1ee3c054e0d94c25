#include "media/devices/CdAudioDevice.h"

#include "media/core/BlockDevice.h"
#include "media/devices/CdAudioSource.h"
#include "media/devices/LibcdioDrive.h"
#include "media/devices/QueuedCdDrive.h"

#include <algorithm>
#include <optional>

namespace zyr::media {

namespace {

using Clock = CdDriveThread::Clock;

std::int64_t framesToMs(std::int64_t frames)
{
    return (frames * 1000 + CdToc::kSampleRate / 2) / CdToc::kSampleRate;
}

MediaError noDisc()
{
    return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No disc in the drive."));
}

MediaError stillReading()
{
    return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("The disc is being read."));
}

MediaError noAnswer()
{
    return makeError(ErrorKind::DeviceUnavailable,
                     QStringLiteral("The drive did not answer in time."));
}

// Reads the table of contents, asking again every `poll` while the drive is still recognising
// its disc, until `deadline`. On the drive's thread, within a call of `calls`.
Result<CdToc> readTocWhenReady(CdDrive &drive, CdDriveCalls &calls, std::chrono::milliseconds poll,
                               Clock::time_point deadline)
{
    for (;;) {
        Result<CdToc> toc = drive.readToc();
        if (toc.ok() || toc.error().kind != ErrorKind::DeviceUnavailable ||
            !drive.isBecomingReady())
            return toc;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds(0) || !calls.pause(std::min(poll, left)))
            return noAnswer();
    }
}

} // namespace

CdAudioDevice::CdAudioDevice(AudioSinkFactory sinks, DriveFactory drives, CdDriveTiming timing,
                             QObject *parent)
    : MediaDevice(parent), m_sinks(std::move(sinks)),
      m_drives(drives ? std::move(drives) : DriveFactory(&CdAudioDevice::defaultDrive)),
      m_timing(timing)
{
}

CdAudioDevice::~CdAudioDevice()
{
    // The playback's reads let go first, so that its worker ends at once; then the thread, which
    // is left to finish by itself should it be waiting on the drive.
    dropPlayback();
    m_thread.reset();
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
    dropPlayback();
    m_drive = m_drives(fileName);
    if (!m_drive)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No CD drive."));
    m_thread = std::make_unique<CdDriveThread>(this);
    m_trayCalls = m_thread->newCalls();

    // The tray closes first. A drive without a motor refuses, which matters only when there is
    // then no disc to read, and the table of contents says so.
    const Clock::time_point deadline = Clock::now() + m_timing.openLimit;
    auto toc = std::make_shared<std::optional<Result<CdToc>>>();
    const bool answered = m_thread->newCalls()->await(
        [drive = m_drive, toc, poll = m_timing.spinUpPoll, deadline](CdDriveCalls &calls) {
            (void)drive->closeTray();
            toc->emplace(readTocWhenReady(*drive, calls, poll, deadline));
        },
        deadline);
    if (!answered)
        return noAnswer();
    if (!toc->value().ok())
        return toc->value().error();
    m_trayOpen = false;
    return makePlayback(std::move(*toc).value().value());
}

Result<void> CdAudioDevice::makePlayback(CdToc toc)
{
    dropPlayback();
    m_toc = std::move(toc);
    std::unique_ptr<AudioSink> sink = m_sinks ? m_sinks() : nullptr;
    if (!sink)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No audio output."));
    m_playbackCalls = m_thread->newCalls();
    auto reads = std::make_shared<QueuedCdDrive>(m_drive, m_playbackCalls);
    m_playback = std::make_unique<AudioPlayback>(std::make_unique<CdAudioSource>(reads, m_toc),
                                                 std::move(sink));
    connect(m_playback.get(), &AudioPlayback::finished, this, &MediaDevice::playbackFinished);
    connect(m_playback.get(), &AudioPlayback::failed, this, &MediaDevice::playbackFailed);
    return {};
}

void CdAudioDevice::dropPlayback()
{
    if (m_playbackCalls)
        m_playbackCalls->abandon();
    m_playback.reset();
    m_playbackCalls.reset();
}

void CdAudioDevice::dropDiscRead()
{
    if (m_discCalls)
        m_discCalls->abandon();
    m_discCalls.reset();
    m_playWanted = false;
}

void CdAudioDevice::readDisc()
{
    dropDiscRead();
    m_discCalls = m_thread->newCalls();
    m_discCalls->post([drive = m_drive, timing = m_timing,
                       this](CdDriveCalls &calls) -> CdDriveCalls::Answer {
        auto toc = std::make_shared<Result<CdToc>>(
            readTocWhenReady(*drive, calls, timing.spinUpPoll, Clock::now() + timing.openLimit));
        // Runs on the UI thread, and only while this read is still the one wanted.
        return [this, toc] { onDiscRead(std::move(*toc)); };
    });
}

void CdAudioDevice::onDiscRead(Result<CdToc> toc)
{
    m_discCalls.reset();
    const bool play = std::exchange(m_playWanted, false);
    if (!toc.ok()) {
        dropPlayback();
        m_toc = {};
        emit discRead(toc.error());
        return;
    }
    if (!m_playback || toc.value() != m_toc) {
        // Another disc, or the one a Load has read again: it plays from its start.
        if (const Result<void> started = makePlayback(std::move(toc).value()); !started.ok()) {
            m_toc = {};
            emit discRead(started.error());
            return;
        }
        emit discRead({ErrorKind::None, {}});
    }
    if (play)
        m_playback->play();
}

Result<void> CdAudioDevice::play()
{
    if (m_discCalls) {
        m_playWanted = true;
        return {};
    }
    if (!m_playback)
        return noDisc();
    if (m_playback->isPlaying()) {
        m_playback->play();
        return {};
    }
    readDisc();
    m_playWanted = true;
    return {};
}

Result<void> CdAudioDevice::pause()
{
    m_playWanted = false;
    if (!m_playback)
        return m_discCalls ? Result<void>() : noDisc();
    m_playback->pause();
    return {};
}

Result<void> CdAudioDevice::stop()
{
    m_playWanted = false;
    if (!m_playback)
        return m_discCalls ? Result<void>() : noDisc();
    m_playback->stop();
    return {};
}

Result<void> CdAudioDevice::seek(std::int64_t positionMs)
{
    if (!m_playback)
        return m_discCalls ? stillReading() : noDisc();
    m_playback->seekToFrame(positionMs * CdToc::kSampleRate / 1000);
    return {};
}

Result<void> CdAudioDevice::eject()
{
    if (!m_thread)
        return noDisc();
    dropDiscRead();
    // The playback's reader holds the disc open, and drives refuse to eject while it does: it is
    // released on the drive's thread before the tray moves.
    dropPlayback();
    m_toc = {};
    m_trayOpen = true;
    m_trayCalls->post([drive = m_drive, this](CdDriveCalls &) -> CdDriveCalls::Answer {
        const Result<void> moved = drive->openTray();
        const MediaError outcome = moved.ok() ? MediaError{ErrorKind::None, {}} : moved.error();
        return [this, outcome] { emit ejectFinished(outcome); };
    });
    return {};
}

Result<void> CdAudioDevice::load()
{
    if (!m_thread)
        return noDisc();
    // An open tray stays open, even when the eject failed: the disc is not taken to be back
    // before Open has closed the tray and read it.
    if (m_trayOpen)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("The tray is open."));
    dropPlayback();
    m_toc = {};
    readDisc();
    return {};
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
