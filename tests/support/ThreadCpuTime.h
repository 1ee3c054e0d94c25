#pragma once
// The CPU time one thread has used, for tests that bound what the UI thread does itself rather
// than the wall time, which a loaded machine stretches at will: a blocked thread uses none.

#include <chrono>
#include <ctime>

namespace zyr::test {

class ThreadCpuTime {
public:
    // Starts counting the calling thread's CPU time.
    ThreadCpuTime() : m_start(now()) {}

    // What the thread has used since it was made; call it on that thread.
    std::chrono::nanoseconds used() const { return now() - m_start; }

    // The calling thread's CPU time since it started (CLOCK_THREAD_CPUTIME_ID).
    static std::chrono::nanoseconds now()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    }

private:
    std::chrono::nanoseconds m_start;
};

} // namespace zyr::test
