#include "media/devices/AudioRecorder.h"

#include <vector>

namespace zyr::media {

namespace {

// How long the worker waits for the input before it looks for commands again: short enough
// that a stop ends the recording promptly, long enough not to spin.
constexpr std::chrono::milliseconds kCapturePoll{10};
// Frames taken from the input at a time.
constexpr std::size_t kChunkFrames = 4096;

} // namespace

AudioRecorder::AudioRecorder(std::unique_ptr<AudioCapture> capture, AudioFormat format,
                             RecordedSound::Storage storage, QObject *parent)
    : QObject(parent), m_capture(std::move(capture)), m_format(format),
      m_sound(std::make_unique<RecordedSound>(format, storage))
{
    m_worker = std::thread([this] { run(); });
}

AudioRecorder::~AudioRecorder()
{
    finish();
}

void AudioRecorder::setPaused(bool paused)
{
    {
        const std::lock_guard lock(m_mutex);
        m_paused = paused;
    }
    m_wake.notify_all();
}

std::shared_ptr<const RecordedSound> AudioRecorder::finish()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    return std::shared_ptr<const RecordedSound>(std::move(m_sound));
}

void AudioRecorder::report(MediaError error)
{
    // Runs on the worker; the lambda runs on the UI thread, and only while this object lives.
    QMetaObject::invokeMethod(
        this, [this, error = std::move(error)] { emit failed(error); }, Qt::QueuedConnection);
}

void AudioRecorder::takeCaptured(std::vector<float> &chunk)
{
    for (;;) {
        const std::size_t got = m_capture->read(chunk.data(), kChunkFrames);
        if (got == 0)
            return;
        m_sound->append(chunk.data(), got);
        m_recorded.store(m_sound->frames(), std::memory_order_release);
    }
}

void AudioRecorder::run()
{
    if (const Result<void> opened = m_capture->open(m_format); !opened.ok()) {
        report(opened.error());
        return;
    }
    std::vector<float> chunk(kChunkFrames * static_cast<std::size_t>(m_format.channels));
    bool paused = true; // a capture opens held
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        const bool wantPaused = m_paused;
        lock.unlock();
        if (wantPaused != paused) {
            m_capture->setPaused(wantPaused);
            paused = wantPaused;
        }
        m_capture->waitForFrames(kCapturePoll);
        takeCaptured(chunk);
        if (m_capture->lost()) {
            report(makeError(ErrorKind::DeviceUnavailable,
                             QStringLiteral("The sound input went away while recording.")));
            lock.lock();
            break;
        }
        lock.lock();
    }
    lock.unlock();
    // What the input delivered up to the stop belongs to the recording.
    takeCaptured(chunk);
    m_capture->close();
}

} // namespace zyr::media
