#pragma once
// Memory status and computer name through kernel32.
#include "platform/SystemInfo.h"

namespace velmora {

class Win32SystemInfo final : public ISystemInfo {
public:
    void GlobalMemoryStatus(MemoryStatus& status) override;
    int32_t GlobalMemoryStatusEx(MemoryStatusEx& status) override;
    int32_t GetComputerNameA(char* buffer, uint32_t& size) override;
};

}  // namespace velmora
