#pragma once
// A plain lock for the few structures that threads share. The Windows builds use
// the runtime's win32 thread model, which keeps them loading on Windows XP but has
// no std::mutex; there a critical section serves.
#ifdef _WIN32
namespace velmora {

class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock();
    void unlock();

private:
    alignas(void*) unsigned char section_[6 * sizeof(void*)];  // a CRITICAL_SECTION
};

}  // namespace velmora
#else
#include <mutex>

namespace velmora {
using Mutex = std::mutex;
}  // namespace velmora
#endif
