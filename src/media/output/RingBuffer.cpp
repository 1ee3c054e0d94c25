#include "media/output/RingBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace zyr::media {

Result<void> RingBuffer::allocate(std::size_t capacityFrames, int channels)
{
    release();
    if (capacityFrames == 0 || channels <= 0) {
        return makeError(ErrorKind::Internal, QStringLiteral("Audio buffer of zero size"));
    }
    const auto perFrame = static_cast<std::size_t>(channels);
    if (capacityFrames > std::numeric_limits<std::size_t>::max() / sizeof(float) / perFrame) {
        return makeError(ErrorKind::Internal, QStringLiteral("Audio buffer size overflows"));
    }
    m_samples.reset(new (std::nothrow) float[capacityFrames * perFrame]);
    if (!m_samples) {
        return makeError(
            ErrorKind::Internal,
            QStringLiteral("Out of memory for an audio buffer of %1 frames").arg(capacityFrames));
    }
    m_capacity = capacityFrames;
    m_channels = channels;
    reset();
    return {};
}

void RingBuffer::release()
{
    m_samples.reset();
    m_capacity = 0;
    m_channels = 0;
    reset();
}

void RingBuffer::reset()
{
    m_writeIndex.store(0, std::memory_order_release);
    m_readIndex.store(0, std::memory_order_release);
}

std::size_t RingBuffer::write(const float *frames, std::size_t frameCount)
{
    const std::uint64_t writeIndex = m_writeIndex.load(std::memory_order_relaxed);
    const std::uint64_t readIndex = m_readIndex.load(std::memory_order_acquire);
    const std::size_t used = static_cast<std::size_t>(writeIndex - readIndex);
    const std::size_t count = std::min(frameCount, m_capacity - used);
    if (count == 0) {
        return 0;
    }
    const auto perFrame = static_cast<std::size_t>(m_channels);
    const std::size_t start = static_cast<std::size_t>(writeIndex % m_capacity);
    const std::size_t first = std::min(count, m_capacity - start);
    std::memcpy(m_samples.get() + start * perFrame, frames, first * perFrame * sizeof(float));
    if (count > first) {
        std::memcpy(m_samples.get(), frames + first * perFrame,
                    (count - first) * perFrame * sizeof(float));
    }
    // Release: the consumer that sees the new index also sees the samples copied above.
    m_writeIndex.store(writeIndex + count, std::memory_order_release);
    return count;
}

std::size_t RingBuffer::read(float *frames, std::size_t frameCount)
{
    const std::uint64_t readIndex = m_readIndex.load(std::memory_order_relaxed);
    const std::uint64_t writeIndex = m_writeIndex.load(std::memory_order_acquire);
    const std::size_t count =
        std::min(frameCount, static_cast<std::size_t>(writeIndex - readIndex));
    if (count == 0) {
        return 0;
    }
    const auto perFrame = static_cast<std::size_t>(m_channels);
    const std::size_t start = static_cast<std::size_t>(readIndex % m_capacity);
    const std::size_t first = std::min(count, m_capacity - start);
    std::memcpy(frames, m_samples.get() + start * perFrame, first * perFrame * sizeof(float));
    if (count > first) {
        std::memcpy(frames + first * perFrame, m_samples.get(),
                    (count - first) * perFrame * sizeof(float));
    }
    // Release: the producer that sees the new index may overwrite the slots read above.
    m_readIndex.store(readIndex + count, std::memory_order_release);
    return count;
}

std::size_t RingBuffer::discard()
{
    const std::uint64_t readIndex = m_readIndex.load(std::memory_order_relaxed);
    const std::uint64_t writeIndex = m_writeIndex.load(std::memory_order_acquire);
    m_readIndex.store(writeIndex, std::memory_order_release);
    return static_cast<std::size_t>(writeIndex - readIndex);
}

std::size_t RingBuffer::readableFrames() const
{
    // Read index first: the write index loaded afterwards is at least as new, so the difference
    // cannot undercount frames that were present when the read index was taken.
    const std::uint64_t readIndex = m_readIndex.load(std::memory_order_acquire);
    const std::uint64_t writeIndex = m_writeIndex.load(std::memory_order_acquire);
    if (writeIndex <= readIndex) {
        return 0;
    }
    return static_cast<std::size_t>(std::min<std::uint64_t>(writeIndex - readIndex, m_capacity));
}

std::size_t RingBuffer::writableFrames() const
{
    const std::uint64_t writeIndex = m_writeIndex.load(std::memory_order_acquire);
    const std::uint64_t readIndex = m_readIndex.load(std::memory_order_acquire);
    if (readIndex >= writeIndex) {
        return m_capacity;
    }
    const std::uint64_t used = writeIndex - readIndex;
    return used >= m_capacity ? 0 : m_capacity - static_cast<std::size_t>(used);
}

} // namespace zyr::media
