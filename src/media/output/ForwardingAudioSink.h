#pragma once
// An AudioSink that passes every call on to another sink it owns: the base of sinks that change
// one thing about an output (a gate in front of it, a time stamp, a slow start) and leave the
// rest as it is. Threads: as the sink it forwards to.

#include "media/output/AudioSink.h"

#include <memory>

namespace zyr::media {

class ForwardingAudioSink : public AudioSink {
public:
    explicit ForwardingAudioSink(std::unique_ptr<AudioSink> inner) : m_inner(std::move(inner)) {}

    Result<AudioFormat> open(AudioFormat requested) override { return m_inner->open(requested); }
    std::size_t write(const float *frames, std::size_t frameCount) override
    {
        return m_inner->write(frames, frameCount);
    }
    void setPaused(bool paused) override { m_inner->setPaused(paused); }
    void flush() override { m_inner->flush(); }
    std::int64_t framesPlayed() const override { return m_inner->framesPlayed(); }
    std::int64_t framesQueued() const override { return m_inner->framesQueued(); }
    void close() override { m_inner->close(); }
    bool lost() const override { return m_inner->lost(); }

protected:
    AudioSink &inner() const { return *m_inner; }

private:
    std::unique_ptr<AudioSink> m_inner;
};

} // namespace zyr::media
