#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "utility/helperthread.h"

namespace {

// One holder at a time; a task runs on another thread and Wait returns
// after it, whether the helper was still spinning or had gone to sleep.
TEST(HelperThread, OneHolderRunsTasksOnAnotherThread) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: there is no helper";
    HelperThread* helper = HelperThread::Acquire();
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(HelperThread::Acquire(), nullptr);
    for (int pause : {0, 20}) {
        // Long enough for the helper to stop spinning and sleep.
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        std::thread::id ran;
        int done = 0;
        helper->Start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ran = std::this_thread::get_id();
            done++;
        });
        helper->Wait();
        EXPECT_EQ(done, 1);
        EXPECT_NE(ran, std::this_thread::get_id());
    }
    helper->Release();
    HelperThread* again = HelperThread::Acquire();
    EXPECT_EQ(again, helper);
    if (again) again->Release();
}

}  // namespace
