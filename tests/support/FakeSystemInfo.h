#pragma once
// The fake memory status and computer name: scripted records.
#include <cstring>
#include <optional>
#include <string>

#include "platform/SystemInfo.h"

namespace velmora::testing {

class FakeSystemInfo final : public ISystemInfo {
public:
    MemoryStatus memory{};      // what GlobalMemoryStatus fills in
    MemoryStatusEx memoryEx{};  // what GlobalMemoryStatusEx fills in
    bool memoryExMissing = false;  // as on systems without the 64-bit call
    std::optional<std::string> computerName = "PC01";  // nullopt: the call fails
    uint32_t computerNameSizeAsked = 0;

    void GlobalMemoryStatus(MemoryStatus& status) override { status = memory; }
    int32_t GlobalMemoryStatusEx(MemoryStatusEx& status) override {
        if (memoryExMissing || status.dwLength != sizeof(MemoryStatusEx)) return 0;
        status = memoryEx;
        status.dwLength = sizeof(MemoryStatusEx);
        return 1;
    }
    int32_t GetComputerNameA(char* buffer, uint32_t& size) override {
        computerNameSizeAsked = size;
        if (!computerName) return 0;
        if (computerName->size() + 1 > size) {
            size = static_cast<uint32_t>(computerName->size() + 1);
            return 0;
        }
        std::memcpy(buffer, computerName->c_str(), computerName->size() + 1);
        size = static_cast<uint32_t>(computerName->size());
        return 1;
    }
};

}  // namespace velmora::testing
