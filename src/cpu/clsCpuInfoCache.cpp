// Cache descriptors of leaf 2 and the extended cache leaves 0x80000005 and 0x80000006.
#include "cpu/clsCpuInfo.h"

#include <iterator>

namespace velmora {
namespace {

enum class Reg { Eax, Ebx, Ecx, Edx };

uint32_t RegOf(const CpuRegs& leaf, Reg reg) {
    switch (reg) {
        case Reg::Eax: return leaf.eax;
        case Reg::Ebx: return leaf.ebx;
        case Reg::Ecx: return leaf.ecx;
        case Reg::Edx: return leaf.edx;
    }
    return 0;
}

struct CacheField {
    int32_t extLeaf;  // 5: leaf 0x80000005, 6: leaf 0x80000006
    Reg reg;
    int high, low;
};

// Indexed by the field number, 0 to 27.
constexpr CacheField kCacheFields[] = {
    {5, Reg::Eax, 31, 24},  // L1 data TLB associativity, large pages
    {5, Reg::Eax, 23, 16},  // L1 data TLB entries, large pages
    {5, Reg::Eax, 15, 8},   // L1 instruction TLB associativity, large pages
    {5, Reg::Eax, 7, 0},    // L1 instruction TLB entries, large pages
    {5, Reg::Ebx, 31, 24},  // the same four for 4 KB pages
    {5, Reg::Ebx, 23, 16},
    {5, Reg::Ebx, 15, 8},
    {5, Reg::Ebx, 7, 0},
    {5, Reg::Ecx, 31, 24},  // L1 data cache size in KB
    {5, Reg::Ecx, 23, 16},  // L1 data cache associativity
    {5, Reg::Ecx, 15, 8},   // L1 data cache lines per tag
    {5, Reg::Ecx, 7, 0},    // L1 data cache line size in bytes
    {5, Reg::Edx, 31, 24},  // the same four for the L1 instruction cache
    {5, Reg::Edx, 23, 16},
    {5, Reg::Edx, 15, 8},
    {5, Reg::Edx, 7, 0},
    {6, Reg::Eax, 31, 28},  // L2 data TLB associativity code, large pages
    {6, Reg::Eax, 27, 16},  // L2 data TLB entries, large pages
    {6, Reg::Eax, 15, 12},  // L2 instruction TLB associativity code, large pages
    {6, Reg::Eax, 11, 0},   // L2 instruction TLB entries, large pages
    {6, Reg::Ebx, 31, 28},  // the same four for 4 KB pages
    {6, Reg::Ebx, 27, 16},
    {6, Reg::Ebx, 15, 12},
    {6, Reg::Ebx, 11, 0},
    {6, Reg::Ecx, 31, 16},  // L2 cache size in KB
    {6, Reg::Ecx, 15, 12},  // L2 cache associativity code
    {6, Reg::Ecx, 11, 8},   // L2 cache lines per tag
    {6, Reg::Ecx, 7, 0},    // L2 cache line size in bytes
};
static_assert(std::size(kCacheFields) == 28);

struct AssocRow {
    int32_t code;
    const char16_t* text;
};

// 6 and 8 read as in the 4-bit level-2 codes, 255 as in the 8-bit level-1 fields;
// the 4-bit code for fully associative, 15, has no row.
constexpr AssocRow kAssociativity[] = {
    {0, u"Off"},
    {1, u"Direct mapped"},
    {2, u"2-way"},
    {4, u"4-way"},
    {6, u"8-way"},
    {8, u"16-way"},
    {255, u"Full"},
};

}  // namespace

std::vector<uint8_t> clsCpuInfo::CacheDescriptors() {
    if (LevelsStd_ < 2) return {0};
    std::vector<uint8_t> bytes;
    const uint32_t passes = Bits(StdRegs_[2].eax, 7, 0);
    for (uint32_t pass = 0; pass < passes; ++pass) {
        const CpuRegs& leaf2 = StdRegs_[2];
        for (const Reg reg : {Reg::Eax, Reg::Ebx, Reg::Ecx, Reg::Edx}) {
            uint32_t value = RegOf(leaf2, reg);
            if (Bit(value, 31)) continue;  // the register holds no descriptors
            if (reg == Reg::Eax) value &= 0xFFFFFF00u;  // the low byte is the pass count
            for (int high = 31; high >= 7; high -= 8) {
                const auto byte = static_cast<uint8_t>(Bits(value, high, high - 7));
                if (byte != 0) bytes.push_back(byte);
            }
        }
        if (passes > 1) CpuIdObj_.CpuID(2, StdRegs_[2]);
    }
    return bytes;
}

int32_t clsCpuInfo::xCache(int32_t Field) {
    if (LevelsExt_ < 6 || Field < 0 || Field >= static_cast<int32_t>(std::size(kCacheFields))) return 0;
    const CacheField& field = kCacheFields[Field];
    return static_cast<int32_t>(Bits(RegOf(ExtRegs_[field.extLeaf], field.reg), field.high, field.low));
}

String clsCpuInfo::xCacheAssocStr(int32_t nType) {
    if (LevelsExt_ < 6) return String();
    for (const auto& row : kAssociativity)
        if (row.code == nType) return row.text;
    return String();
}

}  // namespace velmora
