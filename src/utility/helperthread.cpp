#include "utility/helperthread.h"

#include <chrono>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

HelperThread* HelperThread::Acquire() {
    // Never deleted: the thread waits on it until the process ends.
    static HelperThread* const helper = std::thread::hardware_concurrency() >= 2 ? new HelperThread : nullptr;
    return helper && helper->owner_.try_lock() ? helper : nullptr;
}

void HelperThread::Release() { owner_.unlock(); }

void HelperThread::Start(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = std::move(task);
        queued_.store(true, std::memory_order_release);
    }
    changed_.notify_all();
}

void HelperThread::Wait() {
    Until([this] { return !queued_.load(std::memory_order_acquire); });
}

HelperThread::HelperThread() {
    std::thread([this] { Loop(); }).detach();
}

// Spins for 50 microseconds at the most, then sleeps until done().
template <typename Done>
void HelperThread::Until(Done done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
    for (int spins = 1; !done(); spins++) {
#if defined(__SSE2__)
        _mm_pause();
#endif
        if (spins % 64 == 0 && std::chrono::steady_clock::now() > until) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, done);
            return;
        }
    }
}

void HelperThread::Loop() {
    for (;;) {
        Until([this] { return queued_.load(std::memory_order_acquire); });
        task_();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            task_ = nullptr;
            queued_.store(false, std::memory_order_release);
        }
        changed_.notify_all();
    }
}
