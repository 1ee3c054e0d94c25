#pragma once
// The CPU time one thread has used. Tests bound it where they check that work does not hold the
// UI thread: unlike wall time it does not grow while a loaded machine runs other threads (a
// blocked thread uses none), yet it shows decoding or copying done on the thread itself. The
// benchmarks report it beside wall time.

#include <ctime>

namespace zyr::test {

// Milliseconds of CPU the calling thread has used since it started (CLOCK_THREAD_CPUTIME_ID).
// Any thread; does not block.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

} // namespace zyr::test
