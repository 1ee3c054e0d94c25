#pragma once
// An output for tests that plays faster than real time: while running, every frame write()
// accepts counts as played at once, so a minute of audio "plays" as fast as the device can
// decode it. It records every sample that was played, in order, for the test to inspect.
// Pausing holds frames back: while paused, writes fill a buffer of kSinkBufferDuration that
// plays the moment playback resumes, or is dropped by flush. Faults are injected through
// Options (a forced output format, a failing open, short writes) and setLost().
// Everything is under one mutex, so any member may be called from any thread.

#include "media/output/AudioSink.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace zyr::media {

class TestAudioSink final : public AudioSink {
public:
    struct Options {
        // Format open() reports whatever is requested, as a device that resamples would.
        std::optional<AudioFormat> forcedFormat;
        // Makes open() fail with DeviceUnavailable, as with no sound card.
        bool failToOpen = false;
        // Most frames one write() accepts; 0 means no limit. Exercises partial writes.
        std::size_t maxFramesPerWrite = 0;

        // Chainable setters, e.g. TestAudioSink(Options().withFailToOpen()): GCC 12 warns about
        // designated initialisers that skip a field.
        Options &withForcedFormat(AudioFormat format)
        {
            forcedFormat = format;
            return *this;
        }
        Options &withFailToOpen()
        {
            failToOpen = true;
            return *this;
        }
        Options &withMaxFramesPerWrite(std::size_t frames)
        {
            maxFramesPerWrite = frames;
            return *this;
        }
    };

    TestAudioSink() = default;
    explicit TestAudioSink(Options options);
    ~TestAudioSink() override;

    // Clears received(), then succeeds unless failToOpen is set or the format is invalid.
    Result<AudioFormat> open(AudioFormat requested) override;
    std::size_t write(const float *frames, std::size_t frameCount) override;
    void setPaused(bool paused) override;
    void flush() override;
    std::int64_t framesPlayed() const override;
    std::int64_t framesQueued() const override;
    void close() override;
    bool lost() const override;

    // Makes lost() report `lost`, as if the output went away; playback carries on. Any thread;
    // does not block.
    void setLost(bool lost);

    // Copy of every sample played since the last open(), interleaved, in order; flushed frames
    // are absent. Any thread; does not block beyond copying.
    std::vector<float> received() const;

    // Format open() returned; default-constructed before the first successful open. Any thread;
    // does not block.
    AudioFormat format() const;

    // Format the last open() asked for, whether or not it succeeded. Any thread; does not block.
    AudioFormat requestedFormat() const;

    // Whether the sink is open. Any thread; does not block.
    bool isOpen() const;

    // Whether playback is paused. Any thread; does not block.
    bool isPaused() const;

    // Calls to open() and flush() so far, successful or not. Any thread; does not block.
    int openCount() const;
    int flushCount() const;

private:
    // Moves the held-back frames to the played record.
    void playPendingLocked();

    const Options m_options{};
    mutable std::mutex m_mutex;
    AudioFormat m_format;
    AudioFormat m_requested;
    bool m_open = false;
    bool m_paused = false;
    bool m_lost = false;
    std::size_t m_capacity = 0;
    std::vector<float> m_pending;
    std::vector<float> m_received;
    std::int64_t m_played = 0;
    int m_openCount = 0;
    int m_flushCount = 0;
};

} // namespace zyr::media
