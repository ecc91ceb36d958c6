#pragma once
// Runs fn(0) .. fn(count - 1) on threads of their own and waits for all of them.
// The Windows builds have no std::thread (their runtime's thread model keeps
// Windows XP loading), so there the threads are the system's own.
#include <functional>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

namespace testing {

#ifdef _WIN32
struct ThreadStart {
    const std::function<void(int)>* fn;
    int index;
};

inline DWORD WINAPI RunThreadStart(void* p) {
    const auto* start = static_cast<ThreadStart*>(p);
    (*start->fn)(start->index);
    return 0;
}
#endif

inline void RunThreads(int count, const std::function<void(int)>& fn) {
#ifdef _WIN32
    std::vector<ThreadStart> starts(static_cast<size_t>(count));
    std::vector<HANDLE> threads;
    for (int i = 0; i < count; ++i) {
        starts[static_cast<size_t>(i)] = {&fn, i};
        threads.push_back(::CreateThread(nullptr, 0, RunThreadStart, &starts[static_cast<size_t>(i)], 0, nullptr));
    }
    for (HANDLE thread : threads) {
        if (!thread) continue;
        ::WaitForSingleObject(thread, INFINITE);
        ::CloseHandle(thread);
    }
#else
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) threads.emplace_back(fn, i);
    for (auto& thread : threads) thread.join();
#endif
}

}  // namespace testing
