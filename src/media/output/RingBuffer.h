#pragma once
// A fixed-capacity queue of interleaved float frames between exactly one producer thread and
// one consumer thread, without locks. Each side owns one index and only publishes it; the
// indices are 64-bit frame counts that never wrap, so full and empty need no spare slot and
// the counts double as totals. Storage is allocated once by allocate(); write() and read()
// only copy, so the consumer may be a real-time audio callback.
//
// Roles: allocate, release and reset belong to neither side and need both idle. Any thread
// may read the fill levels and totals; each says how exact it is while the other side runs.

#include "media/core/Result.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zyr::media {

class RingBuffer {
public:
    RingBuffer() = default;
    RingBuffer(const RingBuffer &) = delete;
    RingBuffer &operator=(const RingBuffer &) = delete;

    // Allocates room for `capacityFrames` frames of `channels` samples and empties the buffer,
    // replacing any earlier storage. Fails on a zero size or when memory is short. Neither
    // side may be active; may block in the allocator.
    Result<void> allocate(std::size_t capacityFrames, int channels);

    // Frees the storage; the buffer then holds nothing and accepts nothing. Neither side may be
    // active; does not block.
    void release();

    // Empties the buffer and sets both totals to 0. Neither side may be active; does not block.
    void reset();

    // Frames the buffer holds when full. Any thread; does not block.
    std::size_t capacityFrames() const { return m_capacity; }

    // Samples per frame. Any thread; does not block.
    int channels() const { return m_channels; }

    // Copies up to `frameCount` whole frames from `frames` and returns how many fit. Producer
    // thread only; never blocks or allocates.
    std::size_t write(const float *frames, std::size_t frameCount);

    // Copies up to `frameCount` frames into `frames` and returns how many were there. Consumer
    // thread only; never blocks or allocates.
    std::size_t read(float *frames, std::size_t frameCount);

    // Drops every frame readable now and returns how many. Consumer thread only, or any thread
    // while the consumer is held stopped; never blocks.
    std::size_t discard();

    // Frames ready to read. It may include frames the consumer is taking at that moment, but it
    // is 0 only once every frame written before the call has been read or discarded. Any
    // thread; does not block.
    std::size_t readableFrames() const;

    // Frames of free space. On the producer thread never more than is free (the consumer may
    // free more meanwhile); from other threads an estimate. Any thread; does not block.
    std::size_t writableFrames() const;

    // Frames written since allocate() or reset(). Any thread; does not block.
    std::uint64_t totalWritten() const { return m_writeIndex.load(std::memory_order_acquire); }

    // Frames read or discarded since allocate() or reset(). Any thread; does not block.
    std::uint64_t totalRead() const { return m_readIndex.load(std::memory_order_acquire); }

private:
    // Keeps the two indices on separate cache lines so producer and consumer do not invalidate
    // each other's line on every publish; 64 bytes is the line size of current x86 and ARM cores.
    static constexpr std::size_t kCacheLineSize = 64;

    std::unique_ptr<float[]> m_samples;
    std::size_t m_capacity = 0;
    int m_channels = 0;
    alignas(kCacheLineSize) std::atomic<std::uint64_t> m_writeIndex{0};
    alignas(kCacheLineSize) std::atomic<std::uint64_t> m_readIndex{0};
};

} // namespace zyr::media
