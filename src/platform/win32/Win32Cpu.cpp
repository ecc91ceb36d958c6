#include "platform/win32/Win32Cpu.h"

#include <windows.h>

#include "platform/common/X86Instructions.h"

namespace velmora {

bool Win32Cpu::CpuIdLeaf(uint32_t leaf, uint32_t subleaf, CpuRegs& regs) {
    if (!X86HasCpuId()) return false;
    regs = X86CpuId(leaf, subleaf);
    return true;
}

uint64_t Win32Cpu::TimeStampCounter() { return X86ReadTimeStampCounter(); }

int32_t Win32Cpu::QueryPerformanceCounter(int64_t& count) {
    LARGE_INTEGER value{};
    if (!::QueryPerformanceCounter(&value)) return 0;
    count = value.QuadPart;
    return 1;
}

int32_t Win32Cpu::QueryPerformanceFrequency(int64_t& frequency) {
    LARGE_INTEGER value{};
    const BOOL ok = ::QueryPerformanceFrequency(&value);
    frequency = value.QuadPart;  // Windows writes 0 when there is no counter
    return ok ? 1 : 0;
}

}  // namespace velmora
