#pragma once
// Where code that measures intervals reads the time: the machine's steady clock unless it is
// handed another, so that tests step time forward instead of sleeping through it. Only the
// difference between two readings means anything.

#include <chrono>
#include <functional>

namespace zyr::media {

using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;

// The machine's steady clock. Any thread; does not block.
inline MonotonicClock steadyClock()
{
    return [] { return std::chrono::steady_clock::now(); };
}

} // namespace zyr::media
