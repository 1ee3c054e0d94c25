#pragma once
// Records from one AudioCapture into a RecordedSound on a worker thread of its own.
//
// Threads. The owner calls every public member on the UI thread; none of them waits on the
// input except finish(), which waits for at most one poll of the worker and the input's close.
// The worker opens the capture, takes what it captured every few milliseconds and appends it;
// the frame count it publishes is what framesRecorded() reads. A failure (the input does not
// open, or goes away) ends the worker's capturing, keeps what was recorded, and is reported
// through a queued call, so failed() is emitted on the UI thread.

#include "media/core/Result.h"
#include "media/devices/RecordedSound.h"
#include "media/input/AudioCapture.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zyr::media {

class AudioRecorder : public QObject {
    Q_OBJECT
public:
    // Starts the worker, which opens `capture` in `format` and starts capturing at once.
    AudioRecorder(std::unique_ptr<AudioCapture> capture, AudioFormat format,
                  RecordedSound::Storage storage, QObject *parent = nullptr);
    // Stops the worker and drops the recording.
    ~AudioRecorder() override;

    // Holds (true) or resumes (false) capturing.
    void setPaused(bool paused);

    // Frames recorded so far. Any thread; does not block.
    std::int64_t framesRecorded() const { return m_recorded.load(std::memory_order_acquire); }

    // Stops capturing, keeps everything the input delivered until now and returns it; the
    // recorder is spent afterwards (framesRecorded() stays).
    std::shared_ptr<const RecordedSound> finish();

signals:
    // The input failed to open or went away; what was recorded before is kept.
    void failed(const zyr::media::MediaError &error);

private:
    void run();
    // Moves every frame the capture holds into the recording, through `chunk`. Worker thread.
    void takeCaptured(std::vector<float> &chunk);
    void report(MediaError error);

    std::unique_ptr<AudioCapture> m_capture;
    const AudioFormat m_format;
    std::unique_ptr<RecordedSound> m_sound; // the worker's until finish() has joined it
    std::atomic<std::int64_t> m_recorded{0};

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;   // guarded by m_mutex
    bool m_paused = false; // guarded by m_mutex
    std::thread m_worker;
};

} // namespace zyr::media
