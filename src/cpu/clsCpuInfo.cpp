// The record of 13 leaves, its refresh, raw access, the vendor and the two text helpers.
#include "cpu/clsCpuInfo.h"

#include <cstdio>

#include "base/RuntimeError.h"

namespace velmora {
namespace {

struct VendorRow {
    int32_t number;
    const char16_t* idText;  // 12 characters; nullptr: any other text
    const char16_t* maker;
};

static_assert(kVendorAmd == 2, "AMD's row below");

// Rows 3 and 8 end in a blank; row 8's maker is upper case although its text is not.
constexpr VendorRow kVendors[] = {
    {1, u"GenuineIntel", u"Intel"},
    {2, u"AuthenticAMD", u"AMD"},
    {3, u"UMC UMC UMC ", u"UMC"},
    {4, u"CyrixInstead", u"Cyrix"},
    {5, u"NexGenDriven", u"NexGen"},
    {6, u"CentaurHauls", u"Centaur"},
    {7, u"RiseRiseRise", u"Rise"},
    {8, u"SiS SiS SiS ", u"SIS"},
    {9, u"GenuineTMx86", u"Transmeta"},
    {10, u"Geode by NSC", u"National Semiconductor"},
    {0, nullptr, u"Unknown"},
};

}  // namespace

clsCpuInfo::clsCpuInfo(Platform& platform) : platform_(platform), CpuIdObj_(platform.cpu) {
    Refresh(true);
    platform_.cpu.QueryPerformanceFrequency(PerfFreq_);  // a failed call leaves 0, which BenchStop reports
}

uint32_t clsCpuInfo::Bits(uint32_t reg, int high, int low) const {
    const uint32_t shifted = clsCpuId::ShiftRight(reg, static_cast<uint32_t>(low));
    const int width = high - low + 1;
    return width >= 32 ? shifted : shifted & ((1u << width) - 1u);
}

std::optional<uint32_t> clsCpuInfo::Signature(bool Standard) const {
    if (Standard) return LevelsStd_ >= 1 ? std::optional(StdRegs_[1].eax) : std::nullopt;
    return LevelsExt_ >= 1 ? std::optional(ExtRegs_[1].eax) : std::nullopt;
}

void clsCpuInfo::Refresh(bool bReReadCPU) {
    if (bReReadCPU) {
        for (int i = 0; i < kStdLeafCount; ++i) CpuIdObj_.CpuID(static_cast<uint32_t>(i), StdRegs_[i]);
        for (int i = 0; i < kExtLeafCount; ++i) CpuIdObj_.CpuID(kExtBase + static_cast<uint32_t>(i), ExtRegs_[i]);
    }
    LevelsStd_ = static_cast<int32_t>(Bits(StdRegs_[0].eax, 7, 0));
    if (LevelsStd_ == 0) {
        // An unidentifiable record says nothing about extended leaves either; keeping
        // the previous record's level would decode another processor's leaves.
        LevelsExt_ = 0;
        Vendor_ = 0;
        return;
    }
    LevelsExt_ = static_cast<int32_t>(Bits(ExtRegs_[0].eax, 7, 0));
    const String id = VendorIdStr(true);
    Vendor_ = 0;
    for (const auto& row : kVendors) {
        if (row.idText != nullptr && id == row.idText) {
            Vendor_ = row.number;
            break;
        }
    }
}

void clsCpuInfo::LevelGet(int32_t nReg, uint32_t& eax, uint32_t& ebx, uint32_t& ecx, uint32_t& edx) {
    if (nReg < 0 || nReg >= kRecordLeafCount) return;
    const CpuRegs& regs = nReg < kStdLeafCount ? StdRegs_[nReg] : ExtRegs_[nReg - kStdLeafCount];
    eax = regs.eax;
    ebx = regs.ebx;
    ecx = regs.ecx;
    edx = regs.edx;
}

void clsCpuInfo::LevelSet(int32_t nReg, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
    if (nReg < 0 || nReg >= kRecordLeafCount) return;
    CpuRegs& regs = nReg < kStdLeafCount ? StdRegs_[nReg] : ExtRegs_[nReg - kStdLeafCount];
    regs = CpuRegs{eax, ebx, ecx, edx};
}

String clsCpuInfo::RegisterStr(uint32_t value) {
    String text;
    for (int shift = 0; shift <= 24; shift += 8) {
        const char byte = static_cast<char>(Bits(value, shift + 7, shift));
        const String character = platform_.codec.AnsiToString(std::string_view(&byte, 1));
        // A byte the code page cannot stand alone for still takes its one place.
        text += character.size() == 1 ? character[0] : u'\uFFFD';
    }
    return text;
}

String clsCpuInfo::VendorIdStr(bool Standard) {
    const CpuRegs& leaf0 = Standard ? StdRegs_[0] : ExtRegs_[0];
    return RegisterStr(leaf0.ebx) + RegisterStr(leaf0.edx) + RegisterStr(leaf0.ecx);
}

String clsCpuInfo::ManufacturerStr() {
    if (LevelsStd_ <= 0) return String();
    for (const auto& row : kVendors)
        if (row.number == Vendor_) return row.maker;
    return u"Unknown";
}

String clsCpuInfo::HexPad(int32_t nValue, int32_t nWidth) {
    if (nWidth > kMaxHexPadWidth) Raise(Err::OutOfMemory);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(static_cast<uint32_t>(nValue)));
    String text = FromAscii(digits);
    if (static_cast<int32_t>(text.size()) < nWidth) text.insert(0, static_cast<size_t>(nWidth) - text.size(), u'0');
    return text;
}

}  // namespace velmora
