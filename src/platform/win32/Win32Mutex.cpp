#include "base/Mutex.h"

#include <windows.h>

namespace velmora {

static_assert(sizeof(CRITICAL_SECTION) <= 6 * sizeof(void*), "Mutex holds one critical section");

Mutex::Mutex() { ::InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }
Mutex::~Mutex() { ::DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }
void Mutex::lock() { ::EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }
void Mutex::unlock() { ::LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(section_)); }

}  // namespace velmora
