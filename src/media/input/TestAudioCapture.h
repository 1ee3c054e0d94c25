#pragma once
// An input for tests: delivers a known signal (see sample()) in the format it was opened with,
// at real time times `speed`, up to an optional limit, so a test can tell exactly which
// captured frame landed where. Faults come through Options (a failing open) and setLost().
// Everything is under one mutex, so any member may be called from any thread.

#include "media/input/AudioCapture.h"
#include "media/input/AudioCaptureFactory.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace zyr::media {

class TestAudioCapture final : public AudioCapture {
public:
    // What the input has delivered, for the test to watch from any thread.
    struct Counts {
        // Every frame read() delivered.
        std::atomic<std::int64_t> delivered{0};
        // While held, the count `delivered` comes to once what was due before the hold has
        // been read; -1 while running.
        std::atomic<std::int64_t> heldAt{-1};
    };

    struct Options {
        // Most frames ever delivered; below 0, no limit.
        std::int64_t limitFrames = -1;
        // Delivery pace as a multiple of real time while running.
        double speed = 1.0;
        // Makes open() fail with DeviceUnavailable, as an input that refuses to start.
        bool failToOpen = false;
        // Shared with the test (optional).
        std::shared_ptr<Counts> counts;
    };

    explicit TestAudioCapture(Options options);
    ~TestAudioCapture() override;

    // The value of channel `channel` in the `frame`th frame delivered: small multiples of
    // 1/32768, so that 16-bit storage keeps them exactly, differing from frame to frame.
    static float sample(std::int64_t frame, int channel);

    Result<void> open(AudioFormat format) override;
    void setPaused(bool paused) override;
    std::size_t read(float *dst, std::size_t maxFrames) override;
    bool waitForFrames(std::chrono::milliseconds timeout) override;
    std::int64_t framesDropped() const override { return 0; }
    bool lost() const override;
    void close() override;

    // Makes lost() report `lost`, as if the input went away. Any thread.
    void setLost(bool lost);

private:
    // Frames ready to read now. Needs m_mutex.
    std::int64_t readyFrames() const;
    // Publishes heldAt for the current state. Needs m_mutex.
    void publishHeldAt() const;

    const Options m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    AudioFormat m_format;
    bool m_open = false;
    bool m_paused = true;
    bool m_lost = false;
    std::int64_t m_delivered = 0;
    // Frames that became due before the last pause, and when the current run started.
    double m_dueBeforeRun = 0.0;
    std::chrono::steady_clock::time_point m_runStart;
};

// A factory of TestAudioCaptures with `options`, and `available` as its answer on whether an
// input exists.
AudioCaptureFactory testAudioCaptureFactory(const TestAudioCapture::Options &options,
                                            bool available = true);

} // namespace zyr::media
