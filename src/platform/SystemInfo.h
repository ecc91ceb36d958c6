#pragma once
// System information family: the memory status (GlobalMemoryStatus and its
// 64-bit form GlobalMemoryStatusEx) and GetComputerNameA, with their Win32
// record layouts and conventions.
#include <cstddef>
#include <cstdint>

namespace velmora {

// MEMORYSTATUS: its figures are SIZE_T, so 32 bytes in a 32-bit process and 56 in a
// 64-bit one. Figures that do not fit a field are capped at its largest value.
struct MemoryStatus {
    uint32_t dwLength = 0;
    uint32_t dwMemoryLoad = 0;
    uintptr_t dwTotalPhys = 0;
    uintptr_t dwAvailPhys = 0;
    uintptr_t dwTotalPageFile = 0;
    uintptr_t dwAvailPageFile = 0;
    uintptr_t dwTotalVirtual = 0;
    uintptr_t dwAvailVirtual = 0;
};
static_assert(sizeof(MemoryStatus) == (sizeof(void*) == 8 ? 56 : 32));
static_assert(offsetof(MemoryStatus, dwTotalVirtual) == (sizeof(void*) == 8 ? 40 : 24));

// MEMORYSTATUSEX, 64 bytes; the caller sets dwLength.
struct MemoryStatusEx {
    uint32_t dwLength = 0;
    uint32_t dwMemoryLoad = 0;
    uint64_t ullTotalPhys = 0;
    uint64_t ullAvailPhys = 0;
    uint64_t ullTotalPageFile = 0;
    uint64_t ullAvailPageFile = 0;
    uint64_t ullTotalVirtual = 0;
    uint64_t ullAvailVirtual = 0;
    uint64_t ullAvailExtendedVirtual = 0;
};
static_assert(sizeof(MemoryStatusEx) == 64);

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;
    // Fills the record; has no failure result.
    virtual void GlobalMemoryStatus(MemoryStatus& status) = 0;
    // Nonzero on success. Fails (0) unless dwLength is 64, the size of this record,
    // and where the system lacks the call.
    virtual int32_t GlobalMemoryStatusEx(MemoryStatusEx& status) = 0;
    // Writes the computer name and a NUL into `buffer` of `size` characters and sets
    // `size` to the name's length; nonzero on success. A name that does not fit
    // fails (0), leaves the buffer alone and sets `size` to the length plus one.
    virtual int32_t GetComputerNameA(char* buffer, uint32_t& size) = 0;
};

}  // namespace velmora
