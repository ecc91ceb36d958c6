// Brand index and text, APIC id and logical count, feature flags, serial number,
// power management, address widths and the interval timer.
#include "cpu/clsCpuInfo.h"

#include "base/RuntimeError.h"

namespace velmora {
namespace {

struct BrandRow {
    int32_t brand;
    const char16_t* text;
};

// Consulted whatever the vendor; 5 and 13 have no row.
constexpr BrandRow kBrands[] = {
    {1, u"0.18 介 Intel Celeron"},
    {2, u"0.18 介 Intel Pentium III"},
    {2027, u"0.18 介 Intel Pentium III"},
    {3, u"0.18 介 Intel Pentium III Xeon OR 0.13 介 Intel Celeron"},
    {4, u"0.13 介 Intel Pentium III"},
    {6, u"0.13 介 Intel Pentium III mobile"},
    {7, u"0.13 介 Intel Celeron mobile"},
    {8, u"0.18 介 Intel Pentium 4 OR 0.13 介 Intel Celeron 4 mobile (0F24h)"},
    {9, u"0.13 介 Intel Pentium 4"},
    {10, u"0.18 介 Intel Celeron 4"},
    {11, u"0.18 介 Intel Pentium 4 Xeon MP OR 0.13 介 Intel Pentium 4 Xeon"},
    {12, u"0.13 介 Intel Pentium 4 Xeon MP"},
    {14, u"0.13 介 Intel Pentium 4 mobile"},
    {15, u"0.13 介 Intel Celeron 4 mobile (0F27h)"},
    {22, u"0.13 介 Intel Pentium M"},
};

struct OpteronRow {
    uint32_t type;
    const char16_t* prefix;  // followed directly by 32 + 2n
};

constexpr OpteronRow kOpterons[] = {
    {3, u"Opteron UP 1"},
    {4, u"Opteron DP 2"},
    {5, u"Opteron MP 8"},
};

enum class FeatureReg { Leaf1Ecx, Leaf1Edx, Ext1Edx };

struct FeatureRange {
    int32_t first, last;  // feature numbers; bit = number - first
    FeatureReg reg;
};

constexpr FeatureRange kFeatureRanges[] = {
    {0, 31, FeatureReg::Leaf1Ecx},
    {32, 63, FeatureReg::Leaf1Edx},
    {64, 95, FeatureReg::Ext1Edx},
};

constexpr int32_t kSerialNumberFeature = 50;  // leaf 1 edx bit 18
constexpr int64_t kCurrencyScale = 10000;

}  // namespace

int32_t clsCpuInfo::CpuBrand(bool Standard) {
    if (Standard) return LevelsStd_ >= 1 ? static_cast<int32_t>(StdRegs_[1].ebx) : 0;
    return LevelsExt_ >= 1 ? static_cast<int32_t>(Bits(ExtRegs_[1].ebx, 11, 0)) : 0;
}

String clsCpuInfo::OpteronName(uint32_t type, uint32_t number) {
    for (const auto& row : kOpterons)
        if (row.type == type) return row.prefix + FromAscii(std::to_string(32 + 2 * number));
    return String();
}

String clsCpuInfo::CpuBrandStr(bool Standard) {
    if (LevelsStd_ < 1) return String();
    if (Standard) {
        const int32_t b = CpuBrand(true);
        for (const auto& row : kBrands)
            if (row.brand == b) return row.text;
        if (Vendor() != kVendorAmd) return String();
        const auto whole = static_cast<uint32_t>(b);
        return OpteronName(clsCpuId::ShiftRight(whole, 5), Bits(whole, 4, 0));
    }
    if (Vendor() != kVendorAmd) return String();
    const auto b = static_cast<uint32_t>(CpuBrand(false));
    if (b == 0) return String();
    return OpteronName(clsCpuId::ShiftRight(b, 8), Bits(b, 7, 0));
}

int32_t clsCpuInfo::ApicID() { return LevelsStd_ >= 1 ? static_cast<int32_t>(Bits(StdRegs_[1].ebx, 31, 24)) : 0; }

std::optional<int32_t> clsCpuInfo::CpuLogicalCount() {
    if (LevelsStd_ < 1) return std::nullopt;
    return static_cast<int32_t>(Bits(StdRegs_[1].ebx, 23, 16));
}

bool clsCpuInfo::Feature(int32_t nType) {
    for (const auto& range : kFeatureRanges) {
        if (nType < range.first || nType > range.last) continue;
        const int bit = nType - range.first;
        switch (range.reg) {
            case FeatureReg::Leaf1Ecx: return LevelsStd_ >= 1 && Bit(StdRegs_[1].ecx, bit);
            case FeatureReg::Leaf1Edx: return LevelsStd_ >= 1 && Bit(StdRegs_[1].edx, bit);
            case FeatureReg::Ext1Edx: return LevelsExt_ >= 1 && Bit(ExtRegs_[1].edx, bit);
        }
    }
    return false;
}

int32_t clsCpuInfo::SnStatus() {
    if (LevelsStd_ < 3) return 0;
    return Feature(kSerialNumberFeature) ? 2 : 1;
}

String clsCpuInfo::SnStr() {
    if (SnStatus() != 2) return String();
    const uint32_t groups[] = {
        Bits(StdRegs_[1].eax, 31, 16), Bits(StdRegs_[1].eax, 15, 0),  // the signature
        Bits(StdRegs_[3].edx, 31, 16), Bits(StdRegs_[3].edx, 15, 0),  // leaf 3
        Bits(StdRegs_[3].ecx, 31, 16), Bits(StdRegs_[3].ecx, 15, 0),
    };
    String text;
    for (const uint32_t group : groups) text += (text.empty() ? u"" : u"-") + HexPad(static_cast<int32_t>(group), 4);
    return text;
}

bool clsCpuInfo::xPowerManagement(int32_t nType) {
    if (LevelsExt_ < 7 || nType < 0 || nType > 31) return false;
    return Bit(ExtRegs_[7].edx, nType);
}

int32_t clsCpuInfo::xAddrBitsPhysical() {
    return LevelsExt_ >= 8 ? static_cast<int32_t>(Bits(ExtRegs_[8].eax, 7, 0)) : 0;
}

int32_t clsCpuInfo::xAddrBitsVirtual() {
    return LevelsExt_ >= 8 ? static_cast<int32_t>(Bits(ExtRegs_[8].eax, 15, 8)) : 0;
}

void clsCpuInfo::BenchStart() {
    platform_.cpu.QueryPerformanceCounter(PerfStart_);
    CpuIdObj_.CpuClk(ClkStart_);
}

void clsCpuInfo::BenchStop(double& fSeconds, Currency& cCpuCycles) {
    platform_.cpu.QueryPerformanceCounter(PerfStop_);
    CpuIdObj_.CpuClk(ClkStop_);
    Currency ticks = 0;
    if (__builtin_sub_overflow(PerfStop_, PerfStart_, &ticks)) Raise(Err::Overflow);
    if (PerfFreq_ == 0) Raise(Err::DivisionByZero);
    // Both readings carry the same scale, so the ratio of the raw values is seconds.
    fSeconds = static_cast<double>(ticks) / static_cast<double>(PerfFreq_);
    // The raw difference read as currency is cycles / 10,000; scaling it back makes
    // the currency value the cycle count, which overflows past 922,337,203,685,477.
    Currency cycles = 0;
    if (__builtin_sub_overflow(ClkStop_, ClkStart_, &cycles) ||
        __builtin_mul_overflow(cycles, kCurrencyScale, &cycles))
        Raise(Err::Overflow);
    cCpuCycles = cycles;
}

}  // namespace velmora
