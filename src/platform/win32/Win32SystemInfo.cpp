#include "platform/win32/Win32SystemInfo.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

namespace velmora {

static_assert(sizeof(MEMORYSTATUS) == sizeof(MemoryStatus));
static_assert(offsetof(MemoryStatus, dwTotalPhys) == offsetof(MEMORYSTATUS, dwTotalPhys));
static_assert(offsetof(MemoryStatus, dwTotalVirtual) == offsetof(MEMORYSTATUS, dwTotalVirtual));
static_assert(sizeof(MEMORYSTATUSEX) == sizeof(MemoryStatusEx));

void Win32SystemInfo::GlobalMemoryStatus(MemoryStatus& status) {
    // The record has the Windows layout of this build's width (asserted above).
    MEMORYSTATUS native{};
    ::GlobalMemoryStatus(&native);
    std::memcpy(static_cast<void*>(&status), &native, sizeof native);
}

int32_t Win32SystemInfo::GlobalMemoryStatusEx(MemoryStatusEx& status) {
    if (status.dwLength != sizeof(MEMORYSTATUSEX)) return 0;
    // Windows 95, 98 and NT 4.0 lack the call; it is looked up so the library still loads there.
    using Call = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto call = kernel ? reinterpret_cast<Call>(
                                   reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "GlobalMemoryStatusEx")))
                             : nullptr;
    if (call == nullptr) return 0;
    MEMORYSTATUSEX native{};
    native.dwLength = sizeof native;
    if (!call(&native)) return 0;
    status.dwMemoryLoad = native.dwMemoryLoad;
    status.ullTotalPhys = native.ullTotalPhys;
    status.ullAvailPhys = native.ullAvailPhys;
    status.ullTotalPageFile = native.ullTotalPageFile;
    status.ullAvailPageFile = native.ullAvailPageFile;
    status.ullTotalVirtual = native.ullTotalVirtual;
    status.ullAvailVirtual = native.ullAvailVirtual;
    status.ullAvailExtendedVirtual = native.ullAvailExtendedVirtual;
    return 1;
}

int32_t Win32SystemInfo::GetComputerNameA(char* buffer, uint32_t& size) {
    DWORD inOut = size;
    const BOOL ok = ::GetComputerNameA(buffer, &inOut);
    size = inOut;
    return ok ? 1 : 0;
}

}  // namespace velmora
