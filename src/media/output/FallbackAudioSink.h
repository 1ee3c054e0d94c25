#pragma once
// A sink that picks its output at open time: it makes and opens each candidate in order and
// keeps the first that opens, forwarding every call to it until close. A later open tries the
// whole list again, so a sound card that has come back is used on the next medium.

#include "media/output/AudioSink.h"
#include "media/output/AudioSinkFactory.h"

#include <memory>
#include <mutex>
#include <vector>

namespace zyr::media {

class FallbackAudioSink final : public AudioSink {
public:
    explicit FallbackAudioSink(std::vector<AudioSinkFactory> candidates);
    ~FallbackAudioSink() override;

    // Returns the first candidate's success. When every candidate fails, returns the last
    // failure, its message listing every candidate's; UnsupportedFormat is returned at once
    // for an invalid format, since no output could take it.
    Result<AudioFormat> open(AudioFormat requested) override;
    std::size_t write(const float *frames, std::size_t frameCount) override;
    bool waitForSpace(std::chrono::milliseconds timeout) override;
    void setPaused(bool paused) override;
    void flush() override;
    std::int64_t framesPlayed() const override;
    std::int64_t framesQueued() const override;
    void close() override;
    bool lost() const override;

    // Position in the candidate list of the output in use, or -1 when closed. Any thread; does
    // not block beyond a short lock.
    int activeIndex() const;

private:
    const std::vector<AudioSinkFactory> m_candidates;
    // Guards which output is active against the members other threads may call; the owner's
    // own calls need it only to read the pointer, as open and close never run alongside them.
    mutable std::mutex m_activeMutex;
    std::unique_ptr<AudioSink> m_active;
    int m_activeIndex = -1;
};

} // namespace zyr::media
