// The lock-free frame queue between a device worker and the audio callback.

#include "media/output/RingBuffer.h"

#include <QtTest>

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

using zyr::media::RingBuffer;

namespace {

// Frame `index` of a stereo test sequence: distinct, exactly representable samples per channel,
// so a lost, repeated, reordered or channel-swapped frame changes what is read back.
void fillFrame(float *frame, std::uint32_t index)
{
    frame[0] = static_cast<float>(index % (1u << 23));
    frame[1] = -static_cast<float>(index % (1u << 23)) - 0.5f;
}

std::vector<float> sequence(std::uint32_t first, std::size_t frames)
{
    std::vector<float> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        fillFrame(samples.data() + i * 2, first + static_cast<std::uint32_t>(i));
    }
    return samples;
}

} // namespace

class RingBufferTest : public QObject {
    Q_OBJECT

private slots:
    void unallocatedAcceptsNothing();
    void rejectsZeroSize();
    void fillsToCapacityThenRefuses();
    void partialReadsAndWrites();
    void wrapsAroundPreservingOrder();
    void discardEmptiesAndKeepsTotals();
    void reallocateStartsEmpty();
    void producerAndConsumerThreadsMoveEveryFrameInOrder();
};

void RingBufferTest::unallocatedAcceptsNothing()
{
    RingBuffer ring;
    const auto frames = sequence(0, 4);
    float out[8] = {};
    QCOMPARE(ring.write(frames.data(), 4), 0u);
    QCOMPARE(ring.read(out, 4), 0u);
    QCOMPARE(ring.discard(), 0u);
    QCOMPARE(ring.readableFrames(), 0u);
    QCOMPARE(ring.writableFrames(), 0u);
}

void RingBufferTest::rejectsZeroSize()
{
    RingBuffer ring;
    QVERIFY(!ring.allocate(0, 2).ok());
    QVERIFY(!ring.allocate(16, 0).ok());
    QCOMPARE(ring.capacityFrames(), 0u);
}

void RingBufferTest::fillsToCapacityThenRefuses()
{
    RingBuffer ring;
    QVERIFY(ring.allocate(8, 2).ok());
    QCOMPARE(ring.capacityFrames(), 8u);
    QCOMPARE(ring.channels(), 2);
    QCOMPARE(ring.writableFrames(), 8u);

    const auto frames = sequence(0, 12);
    QCOMPARE(ring.write(frames.data(), 12), 8u);
    QCOMPARE(ring.readableFrames(), 8u);
    QCOMPARE(ring.writableFrames(), 0u);
    QCOMPARE(ring.write(frames.data() + 16, 4), 0u);

    std::vector<float> out(12 * 2, 99.0f);
    QCOMPARE(ring.read(out.data(), 12), 8u);
    QCOMPARE(std::vector<float>(out.begin(), out.begin() + 16),
             std::vector<float>(frames.begin(), frames.begin() + 16));
    // Nothing past the frames read is touched.
    QCOMPARE(out[16], 99.0f);
    QCOMPARE(ring.readableFrames(), 0u);
    QCOMPARE(ring.writableFrames(), 8u);
    QCOMPARE(ring.read(out.data(), 1), 0u);
}

void RingBufferTest::partialReadsAndWrites()
{
    RingBuffer ring;
    QVERIFY(ring.allocate(10, 2).ok());
    const auto frames = sequence(0, 10);
    QCOMPARE(ring.write(frames.data(), 6), 6u);

    std::vector<float> out(20);
    QCOMPARE(ring.read(out.data(), 4), 4u);
    QCOMPARE(ring.readableFrames(), 2u);
    QCOMPARE(ring.writableFrames(), 8u);

    // Only the freed room is accepted, and of a request larger than what is left only the rest
    // is returned.
    QCOMPARE(ring.write(frames.data() + 12, 4), 4u);
    QCOMPARE(ring.read(out.data() + 8, 100), 6u);
    QCOMPARE(out, frames);
    QCOMPARE(ring.totalWritten(), 10u);
    QCOMPARE(ring.totalRead(), 10u);
}

void RingBufferTest::wrapsAroundPreservingOrder()
{
    // A capacity coprime to the chunk size puts the wrap point at every offset in turn.
    RingBuffer ring;
    QVERIFY(ring.allocate(7, 2).ok());
    std::uint32_t next = 0;
    std::uint32_t expected = 0;
    std::vector<float> out(5 * 2);
    for (int round = 0; round < 50; ++round) {
        const auto chunk = sequence(next, 5);
        QCOMPARE(ring.write(chunk.data(), 5), 5u);
        next += 5;
        QCOMPARE(ring.read(out.data(), 5), 5u);
        QCOMPARE(out, sequence(expected, 5));
        expected += 5;
    }
    // 250 frames in, the write position is slot 5 of 0..6: after one more frame the next write
    // fills the last slot and continues at the start of storage.
    const auto tail = sequence(next, 1);
    QCOMPARE(ring.write(tail.data(), 1), 1u);
    const auto straddling = sequence(next + 1, 6);
    QCOMPARE(ring.write(straddling.data(), 6), 6u);
    QCOMPARE(ring.writableFrames(), 0u);
    std::vector<float> all(7 * 2);
    QCOMPARE(ring.read(all.data(), 7), 7u);
    QCOMPARE(all, sequence(next, 7));
    QCOMPARE(ring.totalWritten(), 257u);
    QCOMPARE(ring.totalRead(), 257u);
}

void RingBufferTest::discardEmptiesAndKeepsTotals()
{
    RingBuffer ring;
    QVERIFY(ring.allocate(8, 2).ok());
    const auto dropped = sequence(0, 5);
    QCOMPARE(ring.write(dropped.data(), 5), 5u);
    QCOMPARE(ring.discard(), 5u);
    QCOMPARE(ring.readableFrames(), 0u);
    QCOMPARE(ring.writableFrames(), 8u);
    QCOMPARE(ring.totalRead(), 5u);

    // What follows a discard reads back without any of the dropped frames.
    const auto kept = sequence(100, 8);
    QCOMPARE(ring.write(kept.data(), 8), 8u);
    std::vector<float> out(16);
    QCOMPARE(ring.read(out.data(), 8), 8u);
    QCOMPARE(out, kept);
}

void RingBufferTest::reallocateStartsEmpty()
{
    RingBuffer ring;
    QVERIFY(ring.allocate(4, 2).ok());
    const auto frames = sequence(0, 3);
    QCOMPARE(ring.write(frames.data(), 3), 3u);
    QVERIFY(ring.allocate(6, 1).ok());
    QCOMPARE(ring.readableFrames(), 0u);
    QCOMPARE(ring.totalWritten(), 0u);
    QCOMPARE(ring.channels(), 1);
    const float mono[6] = {1, 2, 3, 4, 5, 6};
    QCOMPARE(ring.write(mono, 6), 6u);
    float out[6] = {};
    QCOMPARE(ring.read(out, 6), 6u);
    QCOMPARE(std::vector<float>(out, out + 6), std::vector<float>(mono, mono + 6));

    ring.release();
    QCOMPARE(ring.write(mono, 1), 0u);
}

void RingBufferTest::producerAndConsumerThreadsMoveEveryFrameInOrder()
{
    // Enough frames to wrap the small ring two thousand times at varying offsets, few enough
    // that the hand-overs between the threads stay quick on a machine with no core to spare.
    constexpr std::uint32_t kTotalFrames = 1u << 18;
    // Odd and small, so both sides constantly meet the full and the empty state.
    constexpr std::size_t kCapacity = 127;
    // Larger than the ring, so some requests are always cut short.
    constexpr std::size_t kMaxChunk = 300;

    RingBuffer ring;
    QVERIFY(ring.allocate(kCapacity, 2).ok());
    std::atomic<bool> levelsOutOfRange{false};
    std::atomic<bool> done{false};

    std::thread producer([&] {
        std::mt19937 random(1);
        std::vector<float> chunk(kMaxChunk * 2);
        std::uint32_t next = 0;
        while (next < kTotalFrames) {
            const std::size_t want =
                std::min<std::size_t>(1 + random() % kMaxChunk, kTotalFrames - next);
            for (std::size_t i = 0; i < want; ++i) {
                fillFrame(chunk.data() + i * 2, next + static_cast<std::uint32_t>(i));
            }
            const std::size_t written = ring.write(chunk.data(), want);
            next += static_cast<std::uint32_t>(written);
            if (written == 0) {
                std::this_thread::yield();
            }
        }
    });

    // A third thread reading the levels, as the UI does for framesQueued.
    std::thread observer([&] {
        while (!done.load()) {
            const std::size_t readable = ring.readableFrames();
            const std::size_t writable = ring.writableFrames();
            if (readable > kCapacity || writable > kCapacity) {
                levelsOutOfRange = true;
            }
            std::this_thread::yield();
        }
    });

    std::mt19937 random(2);
    std::vector<float> out(kMaxChunk * 2);
    float expected[2];
    std::uint32_t received = 0;
    std::uint32_t firstMismatch = kTotalFrames;
    while (received < kTotalFrames) {
        const std::size_t got = ring.read(out.data(), 1 + random() % kMaxChunk);
        for (std::size_t i = 0; i < got && firstMismatch == kTotalFrames; ++i) {
            fillFrame(expected, received + static_cast<std::uint32_t>(i));
            if (out[i * 2] != expected[0] || out[i * 2 + 1] != expected[1]) {
                firstMismatch = received + static_cast<std::uint32_t>(i);
            }
        }
        received += static_cast<std::uint32_t>(got);
        if (got == 0) {
            std::this_thread::yield();
        }
    }
    done = true;
    producer.join();
    observer.join();

    QCOMPARE(firstMismatch, kTotalFrames);
    QCOMPARE(received, kTotalFrames);
    QCOMPARE(ring.readableFrames(), 0u);
    QCOMPARE(ring.totalWritten(), std::uint64_t{kTotalFrames});
    QVERIFY(!levelsOutOfRange.load());
}

QTEST_GUILESS_MAIN(RingBufferTest)
#include "RingBufferTest.moc"
