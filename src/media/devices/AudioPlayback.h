#pragma once
// Plays one AudioSource through one AudioSink on a worker thread of its own.
//
// Threads. The owner calls every public member on the UI thread; none of them waits on I/O.
// The worker opens the sink, reads the source and writes to the sink; it never touches Qt
// objects and reports the end of the medium, or a failure, through queued calls, so
// finished() and failed() are emitted on the UI thread.
//
// Commands. play(), pause(), stop() and seekToFrame() leave their wish in a small command
// record and raise the command serial; the worker applies the latest record as a whole, so a quick
// series of commands collapses into its outcome. An end or failure that the worker met while
// serving an older serial is dropped on arrival: it belongs to a playback the user has already
// left.
//
// Clock. The position is the source frame the worker last seeked to, plus what the sink has
// actually played since (converted back to the source rate). While a seek or stop is on its
// way to the worker the position is the one it asked for.

#include "media/core/Result.h"
#include "media/devices/AudioSource.h"
#include "media/output/AudioSink.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zyr::media {

class AudioPlayback : public QObject {
    Q_OBJECT
public:
    // Starts the worker, which opens the sink at once. UI thread.
    AudioPlayback(std::unique_ptr<AudioSource> source, std::unique_ptr<AudioSink> sink,
                  QObject *parent = nullptr);
    // Stops the worker and waits for it: at most one read of the source and one sink period.
    ~AudioPlayback() override;

    // Starts, or resumes after pause(), at the current position.
    void play();
    // Holds the sound at once; what is buffered stays for play().
    void pause();
    // Stops at the current position.
    void stop();
    // Moves to `sourceFrame` (clamped to the medium), playing on if it was playing.
    void seekToFrame(std::int64_t sourceFrame);
    // Changes the medium: `change` runs on the worker before anything it does next (between
    // reads of the source), the length becomes `newLengthFrames`, and the position moves to
    // `thenSeekTo`. A change that fails ends a playback in progress with failed().
    void edit(std::function<Result<void>()> change, std::int64_t newLengthFrames,
              std::int64_t thenSeekTo);

    std::int64_t positionFrames() const;
    std::int64_t lengthFrames() const { return m_lengthFrames.load(std::memory_order_acquire); }
    bool isPlaying() const { return m_playing && !m_paused; }
    bool isPaused() const { return m_playing && m_paused; }

signals:
    // The source ran out and the sink has played everything; the position is the length.
    void finished();
    // Opening the sink or reading the source failed; playback has stopped where it was.
    void failed(const zyr::media::MediaError &error);

private:
    // The owner's wish, applied by the worker as a whole: first the seek (with a flush of the
    // sink), then the sink's pause, so that nothing buffered before a stop or seek is heard.
    struct Command {
        bool playing = false;
        bool paused = false;
        std::optional<std::int64_t> seekTo;
        std::vector<std::function<Result<void>()>> edits; // applied first, in order
    };

    void issue(std::optional<std::int64_t> seekTo);
    void run();
    void report(std::uint64_t serial, std::optional<MediaError> error);

    std::unique_ptr<AudioSource> m_source;
    std::unique_ptr<AudioSink> m_sink;
    std::atomic<std::int64_t> m_lengthFrames; // written by the owner, read by both
    const int m_sourceRate;

    // Owner (UI thread) state.
    bool m_playing = false;
    bool m_paused = false;
    bool m_atEnd = false;
    std::uint64_t m_requestedSerial = 0;
    std::uint64_t m_seekSerial = 0; // the serial of the last command that seeks
    std::int64_t m_requestedPosition = 0;

    // Shared with the worker.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    Command m_command;                 // guarded by m_mutex
    std::uint64_t m_commandSerial = 0; // guarded by m_mutex
    bool m_quit = false;               // guarded by m_mutex
    std::atomic<std::uint64_t> m_appliedSerial{0};
    std::atomic<std::int64_t> m_baseFrame{0};
    std::atomic<int> m_outputRate{0};

    std::thread m_worker;
};

} // namespace zyr::media
