#pragma once
// A scripted processor: leaves, counters and whether it has the identification
// instruction at all. Tests load it with leaves dumped from real processors.
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/Cpu.h"

namespace velmora::testing {

class FakeCpu final : public ICpu {
public:
    bool hasCpuId = true;
    // Answers per leaf; successive executions of a leaf step through its list and
    // then repeat the last entry. A leaf not listed answers zeros.
    std::map<uint32_t, std::vector<CpuRegs>> leaves;
    std::vector<uint32_t> executed;  // every leaf asked for, in order

    uint64_t timeStamp = 0;  // returned, then advanced by timeStampStep
    uint64_t timeStampStep = 0;
    int64_t perfCount = 0;  // returned, then advanced by perfStep
    int64_t perfStep = 0;
    int64_t perfFrequency = 10000000;
    bool perfFails = false;

    void SetLeaf(uint32_t leaf, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
        leaves[leaf] = {CpuRegs{eax, ebx, ecx, edx}};
    }
    // Leaf 0 with the highest standard leaf and a 12-character vendor text (stored
    // ebx, edx, ecx), and leaf 0x80000000 with the highest extended leaf.
    void SetVendor(const char* vendorId, uint32_t maxStandard, uint32_t maxExtended) {
        SetLeaf(0, maxStandard, Text4(vendorId), Text4(vendorId + 8), Text4(vendorId + 4));
        SetLeaf(0x80000000, maxExtended, 0, 0, 0);
    }
    // Four characters as the processor keeps them in a register, the first in the low byte.
    static constexpr uint32_t Text4(const char* text) {
        return static_cast<uint8_t>(text[0]) | static_cast<uint8_t>(text[1]) << 8 |
               static_cast<uint8_t>(text[2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
    }

    bool CpuIdLeaf(uint32_t leaf, uint32_t subleaf, CpuRegs& regs) override;
    uint64_t TimeStampCounter() override;
    int32_t QueryPerformanceCounter(int64_t& count) override;
    int32_t QueryPerformanceFrequency(int64_t& frequency) override;

private:
    std::map<uint32_t, size_t> next_;
};

}  // namespace velmora::testing
