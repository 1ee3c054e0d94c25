#pragma once
// The CDAudio device's own thread. Everything that waits on the drive runs here, one call after
// another: the tray's moves, tables of contents, and the sectors the playback reads. The UI
// thread posts calls and is answered through queued calls; the playback's worker waits for its
// reads, but lets go at once when they are abandoned. So the UI thread never waits on the drive,
// and never joins a thread that does.
//
// Calls come in groups (CdDriveCalls): those of one read of the disc, of one playback, of the
// tray. Abandoning a group skips its calls that have not started, wakes whoever waits on them
// and drops their answers; a call already in the drive's hands finishes there, unseen.
//
// The end. The destructor abandons every group. An idle thread is joined at once: what it may
// still run are releases (closing handles), which do not wait on the drive. A thread still in a
// call to the drive is left to finish it, run the releases queued behind it and end by itself.
//
// Threads: the owner, post() and abandon() belong to the UI thread; await() and release() may
// be called on any thread; pause() only within a call, on the drive's thread.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QObject;

namespace zyr::media {

class CdDriveCalls;

class CdDriveThread {
public:
    using Clock = std::chrono::steady_clock;
    struct State;

    // Starts the thread; answers of posted calls run in `receiver`'s context, which must outlive
    // this object.
    explicit CdDriveThread(QObject *receiver);
    ~CdDriveThread();

    CdDriveThread(const CdDriveThread &) = delete;
    CdDriveThread &operator=(const CdDriveThread &) = delete;

    // A new group of calls to this thread.
    std::shared_ptr<CdDriveCalls> newCalls() const;

private:
    // The thread's loop: runs the jobs in order until the end, skipping abandoned calls.
    static void runJobs(const std::shared_ptr<State> &state);

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

class CdDriveCalls : public std::enable_shared_from_this<CdDriveCalls> {
public:
    using Clock = CdDriveThread::Clock;
    // What runs on the drive's thread; it is handed its own group, to pause() in.
    using Call = std::function<void(CdDriveCalls &)>;
    // What a posted call answers with; runs on the UI thread.
    using Answer = std::function<void()>;

    explicit CdDriveCalls(std::shared_ptr<CdDriveThread::State> state);

    // Runs `call` on the drive's thread; the answer it returns (if any) then runs on the UI
    // thread, unless the group has been abandoned by then. UI thread.
    void post(std::function<Answer(CdDriveCalls &)> call);

    // Runs `call` on the drive's thread and waits for it to finish; true when it has. False, at
    // once, when the group is abandoned first, or when `deadline` passes, which abandons the
    // group. The call then finishes unseen: what it writes must be held by what it captures.
    bool await(Call call, std::optional<Clock::time_point> deadline = std::nullopt);

    // Runs `job` on the drive's thread even once the group is abandoned, after the calls posted
    // before it: for letting go of what belongs to that thread. Any thread.
    void release(std::function<void()> job);

    void abandon();
    bool isAbandoned() const;

    // Within a call: waits for `time` to pass; false when the group is abandoned meanwhile.
    bool pause(std::chrono::milliseconds time);

private:
    friend class CdDriveThread;
    void enqueue(Call call, bool release);
    bool isAbandonedLocked() const; // the state's mutex held

    const std::shared_ptr<CdDriveThread::State> m_state;
    bool m_abandoned = false; // guarded by the state's mutex
};

} // namespace zyr::media
