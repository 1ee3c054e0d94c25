#include "media/devices/CdDriveThread.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace zyr::media {

struct CdDriveThread::State {
    struct Job {
        std::shared_ptr<CdDriveCalls> calls;
        CdDriveCalls::Call run;
        bool release = false;
    };

    std::mutex mutex;
    // A job queued or finished, a group abandoned, the end: waiters look again.
    std::condition_variable changed;
    std::deque<Job> jobs;
    QObject *receiver = nullptr; // null once the owner has gone
    bool ending = false;         // every group counts as abandoned
    bool busy = false;           // the thread is running a job
    bool ended = false;          // the thread has returned
};

void CdDriveThread::runJobs(const std::shared_ptr<State> &state)
{
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] { return state->ending || !state->jobs.empty(); });
        if (state->jobs.empty())
            break;
        State::Job job = std::move(state->jobs.front());
        state->jobs.pop_front();
        const bool skip = !job.release && job.calls->isAbandonedLocked();
        state->busy = true;
        lock.unlock();
        if (!skip)
            job.run(*job.calls);
        job = {}; // what the call held is let go here, on this thread
        lock.lock();
        state->busy = false;
        state->changed.notify_all();
    }
    state->ended = true;
}

CdDriveThread::CdDriveThread(QObject *receiver) : m_state(std::make_shared<State>())
{
    m_state->receiver = receiver;
    m_thread = std::thread([state = m_state] { runJobs(state); });
}

CdDriveThread::~CdDriveThread()
{
    bool idle = false;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->ending = true;
        m_state->receiver = nullptr;
        idle = !m_state->busy;
    }
    m_state->changed.notify_all();
    // Idle, the thread has nothing left but releases, which do not wait on the drive. Busy, it
    // may be waiting on a drive that does not answer: it ends by itself once the drive does,
    // and the state it needs is its own to hold.
    if (idle)
        m_thread.join();
    else
        m_thread.detach();
}

std::shared_ptr<CdDriveCalls> CdDriveThread::newCalls() const
{
    return std::make_shared<CdDriveCalls>(m_state);
}

CdDriveCalls::CdDriveCalls(std::shared_ptr<CdDriveThread::State> state) : m_state(std::move(state))
{
}

void CdDriveCalls::enqueue(Call call, bool release)
{
    std::unique_lock lock(m_state->mutex);
    if (m_state->ended) {
        // Nobody runs jobs any more; a release is done here, anything else is dropped.
        lock.unlock();
        if (release)
            call(*this);
        return;
    }
    m_state->jobs.push_back({shared_from_this(), std::move(call), release});
    m_state->changed.notify_all();
}

void CdDriveCalls::post(std::function<Answer(CdDriveCalls &)> call)
{
    enqueue(
        [call = std::move(call)](CdDriveCalls &calls) {
            Answer answer = call(calls);
            if (!answer)
                return;
            const std::lock_guard lock(calls.m_state->mutex);
            if (calls.isAbandonedLocked())
                return;
            // Under the lock, so that the receiver cannot go while the answer is posted to it.
            QMetaObject::invokeMethod(
                calls.m_state->receiver,
                [self = calls.shared_from_this(), answer = std::move(answer)] {
                    if (!self->isAbandoned())
                        answer();
                },
                Qt::QueuedConnection);
        },
        false);
}

bool CdDriveCalls::await(Call call, std::optional<Clock::time_point> deadline)
{
    auto finished = std::make_shared<bool>(false); // guarded by the state's mutex
    enqueue(
        [call = std::move(call), finished](CdDriveCalls &calls) {
            call(calls);
            const std::lock_guard lock(calls.m_state->mutex);
            *finished = true;
        },
        false);
    std::unique_lock lock(m_state->mutex);
    const auto answered = [&] { return *finished || isAbandonedLocked(); };
    if (!deadline) {
        m_state->changed.wait(lock, answered);
    } else if (!m_state->changed.wait_until(lock, *deadline, answered)) {
        m_abandoned = true;
        m_state->changed.notify_all(); // a call pausing in the group stops waiting
    }
    return *finished;
}

void CdDriveCalls::release(std::function<void()> job)
{
    enqueue([job = std::move(job)](CdDriveCalls &) { job(); }, true);
}

void CdDriveCalls::abandon()
{
    {
        const std::lock_guard lock(m_state->mutex);
        m_abandoned = true;
    }
    m_state->changed.notify_all();
}

bool CdDriveCalls::isAbandoned() const
{
    const std::lock_guard lock(m_state->mutex);
    return isAbandonedLocked();
}

bool CdDriveCalls::isAbandonedLocked() const
{
    return m_abandoned || m_state->ending;
}

bool CdDriveCalls::pause(std::chrono::milliseconds time)
{
    std::unique_lock lock(m_state->mutex);
    return !m_state->changed.wait_for(lock, time, [&] { return isAbandonedLocked(); });
}

} // namespace zyr::media
