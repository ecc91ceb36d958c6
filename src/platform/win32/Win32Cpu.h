#pragma once
// Cpu family on Windows: the instructions themselves and the Win32 performance counter.
#include "platform/Cpu.h"

namespace velmora {

class Win32Cpu final : public ICpu {
public:
    bool CpuIdLeaf(uint32_t leaf, uint32_t subleaf, CpuRegs& regs) override;
    uint64_t TimeStampCounter() override;
    int32_t QueryPerformanceCounter(int64_t& count) override;
    int32_t QueryPerformanceFrequency(int64_t& frequency) override;
};

}  // namespace velmora
