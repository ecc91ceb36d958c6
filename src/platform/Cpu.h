#pragma once
// Cpu family: the processor's own instructions (identification leaf, time-stamp
// counter) and QueryPerformanceCounter/QueryPerformanceFrequency. The backends only
// execute; every decoding of the results lives in src/cpu/.
#include <cstdint>

namespace velmora {

// One identification leaf: the four registers as the instruction leaves them.
struct CpuRegs {
    uint32_t eax = 0;
    uint32_t ebx = 0;
    uint32_t ecx = 0;
    uint32_t edx = 0;
    friend bool operator==(const CpuRegs&, const CpuRegs&) = default;
};

class ICpu {
public:
    virtual ~ICpu() = default;
    // Executes the identification instruction with EAX = `leaf`, ECX = `subleaf`.
    // False, with `regs` untouched, when the processor has no such instruction (the
    // ID flag, bit 21 of the flags register, cannot be changed).
    virtual bool CpuIdLeaf(uint32_t leaf, uint32_t subleaf, CpuRegs& regs) = 0;
    // The 64-bit time-stamp counter. (Not ReadTimeStampCounter: the 64-bit Windows
    // headers define that name as a macro for the compiler's intrinsic.)
    virtual uint64_t TimeStampCounter() = 0;
    // Nonzero on success, as the Win32 calls: a count of ticks, and ticks per second.
    virtual int32_t QueryPerformanceCounter(int64_t& count) = 0;
    virtual int32_t QueryPerformanceFrequency(int64_t& frequency) = 0;
};

}  // namespace velmora
