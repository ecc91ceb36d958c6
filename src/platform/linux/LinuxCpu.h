#pragma once
// Cpu family on Linux: the instructions themselves, and CLOCK_MONOTONIC in
// nanoseconds as the performance counter.
#include "platform/Cpu.h"

namespace velmora {

class LinuxCpu final : public ICpu {
public:
    bool CpuIdLeaf(uint32_t leaf, uint32_t subleaf, CpuRegs& regs) override;
    uint64_t TimeStampCounter() override;
    int32_t QueryPerformanceCounter(int64_t& count) override;
    int32_t QueryPerformanceFrequency(int64_t& frequency) override;
};

}  // namespace velmora
