#pragma once
// The processor instructions both real backends execute, written once with the
// compiler's intrinsics. On a processor that is not x86 there is no
// identification instruction and no time-stamp counter.
#include <cstdint>

#include "platform/Cpu.h"

namespace velmora {

// Whether the ID flag (bit 21 of the flags register) can be changed, which is how
// a processor shows that it has the identification instruction.
bool X86HasCpuId();
// CPUID with EAX = leaf and ECX = subleaf; only call it when X86HasCpuId().
CpuRegs X86CpuId(uint32_t leaf, uint32_t subleaf);
// RDTSC; 0 where there is no such counter.
uint64_t X86ReadTimeStampCounter();

}  // namespace velmora
