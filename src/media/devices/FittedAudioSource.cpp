#include "media/devices/FittedAudioSource.h"

#include <algorithm>

namespace zyr::media {

FittedAudioSource::FittedAudioSource(std::unique_ptr<AudioSource> inner, std::int64_t lengthFrames)
    : m_inner(std::move(inner)), m_lengthFrames(std::max<std::int64_t>(0, lengthFrames)),
      m_output(sourceFormat()), m_innerDone(!m_inner)
{
}

AudioFormat FittedAudioSource::sourceFormat() const
{
    return m_inner ? m_inner->sourceFormat() : kSilenceFormat;
}

std::int64_t FittedAudioSource::toOutput(std::int64_t sourceFrames) const
{
    const int rate = sourceFormat().sampleRate;
    return rate > 0 ? sourceFrames * m_output.sampleRate / rate : 0;
}

Result<void> FittedAudioSource::setOutputFormat(const AudioFormat &format)
{
    if (!format.isValid())
        return makeError(ErrorKind::InvalidCommand, QStringLiteral("Invalid output format."));
    m_output = format;
    return m_inner ? m_inner->setOutputFormat(format) : Result<void>();
}

Result<std::size_t> FittedAudioSource::read(float *dst, std::size_t maxFrames)
{
    const std::int64_t end = toOutput(m_lengthFrames);
    const auto wanted = static_cast<std::size_t>(
        std::clamp<std::int64_t>(end - m_outputFrame, 0, std::int64_t(maxFrames)));
    if (wanted == 0)
        return std::size_t{0};
    std::size_t produced = 0;
    if (!m_innerDone) {
        const Result<std::size_t> got = m_inner->read(dst, wanted);
        if (!got.ok())
            return got.error();
        produced = got.value();
        m_innerDone = produced == 0;
    }
    if (produced == 0) {
        // The sound has ended before the picture: silence until the movie ends.
        produced = wanted;
        std::fill(dst, dst + produced * static_cast<std::size_t>(m_output.channels), 0.0f);
    }
    m_outputFrame += static_cast<std::int64_t>(produced);
    return produced;
}

Result<void> FittedAudioSource::seekToFrame(std::int64_t sourceFrame)
{
    const std::int64_t target = std::clamp<std::int64_t>(sourceFrame, 0, m_lengthFrames);
    m_outputFrame = toOutput(target);
    if (!m_inner)
        return {};
    const std::int64_t innerLength = m_inner->lengthFrames();
    if (innerLength >= 0 && target >= innerLength) {
        m_innerDone = true;
        return {};
    }
    m_innerDone = false;
    return m_inner->seekToFrame(target);
}

} // namespace zyr::media
