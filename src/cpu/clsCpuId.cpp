#include "cpu/clsCpuId.h"

#include <cstring>

namespace velmora {

void clsCpuId::CpuClk(int64_t& Cycles) {
    const uint64_t counter = cpu_.TimeStampCounter();
    std::memcpy(&Cycles, &counter, sizeof Cycles);
}

void clsCpuId::CpuID(uint32_t nLevel, uint32_t& eax, uint32_t& ebx, uint32_t& ecx, uint32_t& edx) {
    CpuRegs regs;
    if (!cpu_.CpuIdLeaf(nLevel, 0, regs)) regs = CpuRegs{};
    eax = regs.eax;
    ebx = regs.ebx;
    ecx = regs.ecx;
    edx = regs.edx;
}

}  // namespace velmora
