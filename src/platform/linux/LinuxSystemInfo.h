#pragma once
// Memory status and computer name on Linux, as the README's table describes:
// physical memory and the page file from /proc/meminfo (MemTotal, MemAvailable,
// SwapTotal, SwapFree), the virtual address space from the process's limit or the
// architecture's user space, the computer name from gethostname.
#include <cstdint>
#include <string>

#include "platform/SystemInfo.h"

namespace velmora {

// The kernel's memory figures in bytes; zero where /proc/meminfo lacks a line.
struct MemInfo {
    uint64_t total = 0, available = 0, swapTotal = 0, swapFree = 0;
};
// False if the file cannot be read or has no MemTotal.
bool ReadMemInfo(const std::string& meminfoPath, MemInfo& info);

class LinuxSystemInfo final : public ISystemInfo {
public:
    // `rootFolder` ("/" normally) is where proc/meminfo and proc/self/status are read.
    explicit LinuxSystemInfo(std::string rootFolder = "/");

    void GlobalMemoryStatus(MemoryStatus& status) override;
    int32_t GlobalMemoryStatusEx(MemoryStatusEx& status) override;
    int32_t GetComputerNameA(char* buffer, uint32_t& size) override;

private:
    void Fill(MemoryStatusEx& status);
    std::string root_;
};

}  // namespace velmora
