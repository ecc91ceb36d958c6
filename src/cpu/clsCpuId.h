#pragma once
// The three processor primitives the identification code cannot express itself:
// the time-stamp counter, one identification leaf, and a logical right shift.
// They are reached through the platform's Cpu family rather than machine code
// patched into a method table: memory that was never made executable faults under
// data-execution prevention, and a shared patched table breaks as soon as two
// objects overlap on two threads.
#include <cstdint>

#include "platform/Cpu.h"

namespace velmora {

class clsCpuId {
public:
    explicit clsCpuId(ICpu& cpu) : cpu_(cpu) {}

    // All eight bytes of `Cycles` receive the counter, read raw into the
    // currency-typed field.
    void CpuClk(int64_t& Cycles);
    // All four outputs receive leaf `nLevel` (sub-leaf 0); zeros on a processor
    // without the identification instruction.
    void CpuID(uint32_t nLevel, uint32_t& eax, uint32_t& ebx, uint32_t& ecx, uint32_t& edx);
    void CpuID(uint32_t nLevel, CpuRegs& regs) { CpuID(nLevel, regs.eax, regs.ebx, regs.ecx, regs.edx); }
    // Zeros enter at the top; as on the processor only the low five bits of the
    // shift count, so a shift of 32 leaves the value as it is.
    static constexpr uint32_t ShiftRight(uint32_t Value, uint32_t Shift) { return Value >> (Shift & 31u); }

private:
    ICpu& cpu_;
};

}  // namespace velmora
