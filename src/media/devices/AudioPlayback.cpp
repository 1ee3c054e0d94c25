#include "media/devices/AudioPlayback.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace zyr::media {

namespace {

// Frames read from the source at a time: small enough that a stop or seek is noticed within a
// few milliseconds, large enough that a decoder call is not dominated by its overhead.
constexpr std::size_t kChunkFrames = 4096;
// How long the worker sleeps while the sink's buffer is full, unless a command wakes it at once:
// a third of the buffer, so that it refills about a dozen times a second in large pieces (waking
// once per output period cost more CPU than the decoding) while the sink still holds the rest.
constexpr std::chrono::milliseconds kFullWait = kSinkBufferDuration / 3;
// How often the worker looks whether the sink has played out the last frames of the medium.
constexpr std::chrono::milliseconds kDrainPoll{5};

} // namespace

AudioPlayback::AudioPlayback(std::unique_ptr<AudioSource> source, std::unique_ptr<AudioSink> sink,
                             QObject *parent)
    : QObject(parent), m_source(std::move(source)), m_sink(std::move(sink)),
      m_lengthFrames(std::max<std::int64_t>(0, m_source->lengthFrames())),
      m_sourceRate(m_source->sourceFormat().sampleRate)
{
    m_worker = std::thread([this] { run(); });
}

AudioPlayback::~AudioPlayback()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void AudioPlayback::play()
{
    m_playing = true;
    m_paused = false;
    issue(std::nullopt);
}

void AudioPlayback::pause()
{
    if (!m_playing)
        return;
    m_paused = true;
    issue(std::nullopt);
}

void AudioPlayback::stop()
{
    const std::int64_t here = positionFrames();
    const bool wasAtEnd = m_atEnd;
    m_playing = false;
    m_paused = false;
    issue(here);
    m_atEnd = wasAtEnd;
}

void AudioPlayback::seekToFrame(std::int64_t sourceFrame)
{
    issue(std::clamp<std::int64_t>(sourceFrame, 0, lengthFrames()));
}

void AudioPlayback::edit(std::function<Result<void>()> change, std::int64_t newLengthFrames,
                         std::int64_t thenSeekTo)
{
    m_lengthFrames.store(std::max<std::int64_t>(0, newLengthFrames), std::memory_order_release);
    {
        std::lock_guard lock(m_mutex);
        m_command.edits.push_back(std::move(change));
    }
    seekToFrame(thenSeekTo);
}

void AudioPlayback::issue(std::optional<std::int64_t> seekTo)
{
    if (seekTo)
        m_requestedPosition = *seekTo;
    m_atEnd = false;
    {
        std::lock_guard lock(m_mutex);
        m_command.playing = m_playing;
        // A stopped device keeps its sink paused: nothing is to be heard until the next play.
        m_command.paused = m_paused || !m_playing;
        if (seekTo)
            m_command.seekTo = seekTo;
        m_requestedSerial = ++m_commandSerial;
        if (seekTo)
            m_seekSerial = m_requestedSerial;
        // A pause is heard at once where the sink is running; the command keeps the sink paused
        // should it still be opening. Under the lock, so the worker cannot undo it with the
        // command before (it sets the pause only while no newer command waits).
        if (m_paused)
            m_sink->setPaused(true);
    }
    m_wake.notify_all();
}

std::int64_t AudioPlayback::positionFrames() const
{
    const std::int64_t length = lengthFrames();
    if (m_atEnd)
        return length;
    // A seek (or stop) on its way to the worker: the place it asked for. Play and pause do not
    // move the position, so the clock stays live while they travel.
    if (m_appliedSerial.load(std::memory_order_acquire) < m_seekSerial)
        return m_requestedPosition;
    const int outputRate = m_outputRate.load(std::memory_order_acquire);
    const std::int64_t played =
        outputRate > 0 ? m_sink->framesPlayed() * m_sourceRate / outputRate : 0;
    return std::min(length, m_baseFrame.load(std::memory_order_acquire) + played);
}

void AudioPlayback::report(std::uint64_t serial, std::optional<MediaError> error)
{
    // Runs on the worker; the lambda runs on the UI thread, and only while this object lives.
    QMetaObject::invokeMethod(
        this,
        [this, serial, error = std::move(error)] {
            if (serial != m_requestedSerial || !m_playing)
                return; // the user has moved on since
            m_playing = false;
            m_paused = false;
            if (error) {
                emit failed(*error);
                return;
            }
            m_atEnd = true;
            emit finished();
        },
        Qt::QueuedConnection);
}

void AudioPlayback::run()
{
    const Result<AudioFormat> opened =
        m_source->sourceFormat().isValid()
            ? m_sink->open(m_source->sourceFormat())
            : Result<AudioFormat>(makeError(ErrorKind::UnsupportedFormat,
                                            QStringLiteral("The sound has no valid format.")));
    std::optional<MediaError> sinkError;
    AudioFormat format;
    if (!opened.ok()) {
        sinkError = opened.error();
    } else {
        format = opened.value();
        if (const Result<void> configured = m_source->setOutputFormat(format); !configured.ok())
            sinkError = configured.error();
        else
            m_outputRate.store(format.sampleRate, std::memory_order_release);
    }

    std::vector<float> buffer(kChunkFrames *
                              static_cast<std::size_t>(std::max(1, format.channels)));
    std::size_t pendingFrames = 0; // read from the source, not yet accepted by the sink
    std::size_t pendingOffset = 0;
    bool sourceDone = false;
    bool ended = false; // the end (or a failure) has been reported for the current play
    bool playing = false;
    bool sinkFull = false; // the last write found no room
    std::uint64_t serial = 0;

    std::unique_lock lock(m_mutex);
    for (;;) {
        const bool draining = playing && !ended && sourceDone && pendingFrames == 0;
        const auto hasWork = [&] {
            return m_quit || m_commandSerial != serial || (playing && !ended && !draining);
        };
        if (draining)
            m_wake.wait_for(lock, kDrainPoll, hasWork);
        else if (sinkFull)
            m_wake.wait_for(lock, kFullWait, [&] { return m_quit || m_commandSerial != serial; });
        else
            m_wake.wait(lock, hasWork);
        sinkFull = false;
        if (m_quit)
            break;

        if (m_commandSerial != serial) {
            const Command command =
                std::exchange(m_command, Command{m_command.playing, m_command.paused, {}, {}});
            serial = m_commandSerial;
            lock.unlock();
            std::optional<MediaError> editError;
            for (const auto &change : command.edits)
                if (const Result<void> changed = change(); !changed.ok() && !editError)
                    editError = changed.error();
            if (command.seekTo && !sinkError) {
                m_sink->flush();
                pendingFrames = 0;
                const std::int64_t length = lengthFrames();
                const std::int64_t target = std::min(*command.seekTo, length);
                const Result<void> sought = m_source->seekToFrame(target);
                sourceDone = !sought.ok() || target >= length;
                m_baseFrame.store(target, std::memory_order_release);
            }
            playing = command.playing;
            ended = false;
            if (playing && (sinkError || editError)) {
                report(serial, sinkError ? sinkError : editError);
                ended = true;
            }
            lock.lock();
            if (!sinkError && m_commandSerial == serial)
                m_sink->setPaused(command.paused);
            m_appliedSerial.store(serial, std::memory_order_release);
            continue;
        }

        if (!playing || ended)
            continue;
        lock.unlock();
        if (pendingFrames == 0 && !sourceDone) {
            const Result<std::size_t> got = m_source->read(buffer.data(), kChunkFrames);
            if (!got.ok()) {
                // The medium failed while playing: what was read is heard, then it stops.
                sourceDone = true;
                report(serial, got.error());
                ended = true;
            } else if (got.value() == 0) {
                sourceDone = true;
            } else {
                pendingFrames = got.value();
                pendingOffset = 0;
            }
        }
        if (pendingFrames > 0) {
            const std::size_t written = m_sink->write(
                buffer.data() + pendingOffset * static_cast<std::size_t>(format.channels),
                pendingFrames);
            pendingFrames -= written;
            pendingOffset += written;
            sinkFull = written == 0;
        } else if (sourceDone && !ended && m_sink->framesQueued() == 0) {
            report(serial, std::nullopt);
            ended = true;
        }
        lock.lock();
    }
    lock.unlock();
    m_sink->close();
}

} // namespace zyr::media
