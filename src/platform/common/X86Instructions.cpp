#include "platform/common/X86Instructions.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

namespace velmora {

bool X86HasCpuId() {
#if defined(__x86_64__)
    return true;  // every 64-bit x86 processor has it
#elif defined(__i386__)
    // Flip the ID flag, read the flags back, and put the original flags back.
    uint32_t original = 0, readBack = 0;
    __asm__ volatile(
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl $0x200000, %1\n\t"
        "pushl %1\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %1\n\t"
        "pushl %0\n\t"
        "popfl\n\t"
        : "=&r"(original), "=&r"(readBack)
        :
        : "cc");
    return ((original ^ readBack) & 0x200000u) != 0;
#else
    return false;
#endif
}

CpuRegs X86CpuId(uint32_t leaf, uint32_t subleaf) {
    CpuRegs regs;
#if defined(__i386__) || defined(__x86_64__)
    // Not __get_cpuid_count: it refuses leaves above the highest one, and the record
    // keeps whatever the processor answers for each of its leaves.
    __cpuid_count(leaf, subleaf, regs.eax, regs.ebx, regs.ecx, regs.edx);
#endif
    return regs;
}

uint64_t X86ReadTimeStampCounter() {
#if defined(__i386__) || defined(__x86_64__)
    return __rdtsc();
#else
    return 0;
#endif
}

}  // namespace velmora
