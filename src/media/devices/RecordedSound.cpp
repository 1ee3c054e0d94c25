#include "media/devices/RecordedSound.h"

#include <algorithm>
#include <cmath>

namespace zyr::media {

RecordedSound::RecordedSound(AudioFormat format, Storage storage)
    : m_format(format), m_storage(storage)
{
}

RecordedSound::Storage RecordedSound::storageFor(int bitsPerSample)
{
    return bitsPerSample > 0 && bitsPerSample <= 16 ? Storage::Int16 : Storage::Float;
}

std::size_t RecordedSound::samplesPerBlock() const
{
    // One second of frames a block.
    return static_cast<std::size_t>(m_format.sampleRate) *
           static_cast<std::size_t>(m_format.channels);
}

void RecordedSound::append(const float *frames, std::size_t count)
{
    const std::size_t perBlock = samplesPerBlock();
    if (perBlock == 0)
        return;
    std::size_t at =
        static_cast<std::size_t>(m_frames) * static_cast<std::size_t>(m_format.channels);
    const std::size_t total = count * static_cast<std::size_t>(m_format.channels);
    for (std::size_t i = 0; i < total;) {
        const std::size_t block = at / perBlock;
        const std::size_t offset = at % perBlock;
        if (block == m_blocks.size()) {
            Block fresh;
            if (m_storage == Storage::Int16)
                fresh.ints = std::make_unique_for_overwrite<std::int16_t[]>(perBlock);
            else
                fresh.floats = std::make_unique_for_overwrite<float[]>(perBlock);
            m_blocks.push_back(std::move(fresh));
        }
        const std::size_t n = std::min(total - i, perBlock - offset);
        if (m_storage == Storage::Int16) {
            std::int16_t *out = m_blocks[block].ints.get() + offset;
            for (std::size_t k = 0; k < n; ++k) {
                // A NaN from a broken input would make the conversion undefined: it is silence.
                const float value = std::isnan(frames[i + k]) ? 0.0f : frames[i + k];
                const float scaled = std::round(value * 32768.0f);
                out[k] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
            }
        } else {
            std::copy_n(frames + i, n, m_blocks[block].floats.get() + offset);
        }
        i += n;
        at += n;
    }
    m_frames += static_cast<std::int64_t>(count);
}

std::size_t RecordedSound::read(std::int64_t from, float *dst, std::size_t count) const
{
    if (from < 0 || from >= m_frames)
        return 0;
    const auto frames = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), m_frames - from));
    const std::size_t perBlock = samplesPerBlock();
    std::size_t at = static_cast<std::size_t>(from) * static_cast<std::size_t>(m_format.channels);
    const std::size_t total = frames * static_cast<std::size_t>(m_format.channels);
    for (std::size_t i = 0; i < total;) {
        const std::size_t block = at / perBlock;
        const std::size_t offset = at % perBlock;
        const std::size_t n = std::min(total - i, perBlock - offset);
        if (m_storage == Storage::Int16) {
            const std::int16_t *in = m_blocks[block].ints.get() + offset;
            for (std::size_t k = 0; k < n; ++k)
                dst[i + k] = static_cast<float>(in[k]) / 32768.0f;
        } else {
            std::copy_n(m_blocks[block].floats.get() + offset, n, dst + i);
        }
        i += n;
        at += n;
    }
    return frames;
}

} // namespace zyr::media
