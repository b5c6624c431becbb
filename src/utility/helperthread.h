// A second thread for work that splits in two, such as building a large
// mesh's quadtree: the caller hands the helper one half and does the other.
// The thread is made once and kept for the life of the process (starting one
// costs a fifth of a millisecond on the machines we measured, as much as a
// small build), and one user at a time holds it.
//
// Waits spin for a moment, since the steps of one piece of work follow each
// other closely, then sleep, so that a waiting thread does not take the
// core's resources from the working one for long (two cores of a virtual
// machine may be one core's two threads). A process that forks without exec
// must not use the helper in the child, which has no such thread.
#ifndef ZENDAR_UTILITY_HELPERTHREAD_H
#define ZENDAR_UTILITY_HELPERTHREAD_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class HelperThread {
public:
    // The helper, held until Release, or null: the machine has one core, or
    // another user holds it (that user's work then runs on its own thread).
    static HelperThread* Acquire();
    void Release();

    // Runs task on the helper's thread; Wait returns once it has run. One
    // task at a time; a task must not throw.
    void Start(std::function<void()> task);
    void Wait();

private:
    HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;
    template <typename Done>
    void Until(Done done);
    void Loop();

    std::mutex owner_, mutex_;
    std::condition_variable changed_;
    std::function<void()> task_;
    std::atomic<bool> queued_{false};
};

#endif
