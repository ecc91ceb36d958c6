#pragma once
// Force-included into the Windows test builds. Their runtime's thread model (kept
// so that the binaries load on Windows XP) has no std::mutex, which GoogleTest uses
// only for the start signal of its own helper threads; this stands in for it.
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

namespace testing::internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_ = true; }
    void WaitForNotification() {
        while (!notified_) Sleep(1);
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
