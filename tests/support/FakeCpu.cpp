#include "FakeCpu.h"

#include <algorithm>

namespace velmora::testing {

bool FakeCpu::CpuIdLeaf(uint32_t leaf, uint32_t subleaf, CpuRegs& regs) {
    if (!hasCpuId) return false;
    executed.push_back(leaf);
    const auto it = leaves.find(leaf);
    if (it == leaves.end() || it->second.empty()) {
        regs = CpuRegs{};
        return true;
    }
    size_t& next = next_[leaf];
    regs = it->second[std::min(next, it->second.size() - 1)];
    ++next;
    return true;
}

uint64_t FakeCpu::TimeStampCounter() {
    const uint64_t value = timeStamp;
    timeStamp += timeStampStep;
    return value;
}

int32_t FakeCpu::QueryPerformanceCounter(int64_t& count) {
    if (perfFails) return 0;
    count = perfCount;
    perfCount += perfStep;
    return 1;
}

int32_t FakeCpu::QueryPerformanceFrequency(int64_t& frequency) {
    if (perfFails) {
        frequency = 0;  // as Windows leaves it when there is no counter
        return 0;
    }
    frequency = perfFrequency;
    return 1;
}

}  // namespace velmora::testing
