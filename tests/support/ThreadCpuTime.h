#pragma once
// The CPU time one thread has used. Tests bound it where they check that work does not hold the
// UI thread: unlike wall time it does not grow while a loaded machine runs other threads (a
// blocked thread uses none), yet it shows decoding or copying done on the thread itself. The
// benchmarks report it beside wall time.

#include <chrono>
#include <ctime>

namespace zyr::test {

class ThreadCpuTime {
public:
    // Starts counting the calling thread's CPU time.
    ThreadCpuTime() : m_start(now()) {}

    // What the thread has used since it was made; call it on that thread.
    std::chrono::nanoseconds used() const { return now() - m_start; }

    // The calling thread's CPU time since it started (CLOCK_THREAD_CPUTIME_ID). Any thread;
    // does not block.
    static std::chrono::nanoseconds now()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    }

private:
    std::chrono::nanoseconds m_start;
};

// Milliseconds of CPU the calling thread has used since it started.
inline double threadCpuMs()
{
    return std::chrono::duration<double, std::milli>(ThreadCpuTime::now()).count();
}

} // namespace zyr::test
