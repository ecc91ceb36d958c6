#include "platform/linux/LinuxCpu.h"

#include <time.h>

#include "platform/common/X86Instructions.h"

namespace velmora {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

bool LinuxCpu::CpuIdLeaf(uint32_t leaf, uint32_t subleaf, CpuRegs& regs) {
    if (!X86HasCpuId()) return false;
    regs = X86CpuId(leaf, subleaf);
    return true;
}

uint64_t LinuxCpu::TimeStampCounter() { return X86ReadTimeStampCounter(); }

int32_t LinuxCpu::QueryPerformanceCounter(int64_t& count) {
    timespec now{};
    if (::clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
    count = static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
    return 1;
}

int32_t LinuxCpu::QueryPerformanceFrequency(int64_t& frequency) {
    frequency = kNanosecondsPerSecond;
    return 1;
}

}  // namespace velmora
