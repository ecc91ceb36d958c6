// Signature fields, family, model and type names, and the stored brand name.
#include "cpu/clsCpuInfo.h"

#include "text/Text.h"

namespace velmora {
namespace {

constexpr int32_t kAny = -1;  // the column is not examined

struct FamilyRow {
    bool standard;
    int32_t family;
    int32_t familyEx;
    int32_t vendor;
    const char16_t* text;
};

constexpr FamilyRow kFamilies[] = {
    {true, 4, kAny, 1, u"80486"},
    {true, 4, kAny, 2, u"5x86"},
    {true, 4, kAny, 4, u"5x86"},
    {true, 5, kAny, 1, u"P5, P54C, P55C, P24T"},
    {true, 5, kAny, 2, u"K5, K6"},
    {true, 5, kAny, 4, u"M1"},
    {true, 5, kAny, 5, u"Nx586"},
    {true, 5, kAny, 6, u"C6, C2, C3"},
    {true, 5, kAny, 7, u"mP6"},
    {true, 5, kAny, 8, u"55x"},
    {true, 5, kAny, 9, u"TM3x00, TM5x00"},
    {true, 6, kAny, 1, u"P6, P2, P3, PM"},
    {true, 6, kAny, 2, u"K7"},
    {true, 6, kAny, 4, u"M2"},
    {true, 6, kAny, 6, u"C3"},
    {true, 7, kAny, 1, u"Itanium"},
    {true, 15, 0, 1, u"P4"},
    {true, 15, 0, 2, u"K8"},
    {true, 15, 1, kAny, u"Itanium 2"},
    {false, 5, kAny, 2, u"K5"},
    {false, 5, kAny, 6, u"C2, C3"},
    {false, 5, kAny, 9, u"TM3x00, TM5x00"},
    {false, 6, kAny, 2, u"K6"},
    {false, 6, kAny, 6, u"C3"},
    {false, 7, kAny, 2, u"K7"},
    {false, 15, 0, 2, u"K8"},
};

// A model row whose text depends on the stepping: below 8 C5B, from 8 on C5C.
constexpr const char16_t* kByStepping = nullptr;

struct ModelRow {
    bool standard;
    int32_t vendor;
    int32_t family;
    int32_t familyEx;
    int32_t model;
    const char16_t* text;
};

// 介 stands where a unit of length follows a process size; "P55C (0.25介)" alone
// has no blank before it, and the two 5k86 texts for model 1 differ between tables.
constexpr ModelRow kModels[] = {
    {true, 1, 4, kAny, 0, u"i80486DX-25/33"},
    {true, 1, 4, kAny, 1, u"i80486DX-50"},
    {true, 1, 4, kAny, 2, u"i80486SX"},
    {true, 1, 4, kAny, 3, u"i80486DX2"},
    {true, 1, 4, kAny, 4, u"i80486SL"},
    {true, 1, 4, kAny, 5, u"i80486SX2"},
    {true, 1, 4, kAny, 7, u"i80486DX2WB"},
    {true, 1, 4, kAny, 8, u"i80486DX4"},
    {true, 1, 4, kAny, 9, u"i80486DX4WB"},
    {true, 1, 5, kAny, 0, u"P5 A-step"},
    {true, 1, 5, kAny, 1, u"P5"},
    {true, 1, 5, kAny, 2, u"P54C"},
    {true, 1, 5, kAny, 3, u"P24T Overdrive"},
    {true, 1, 5, kAny, 4, u"P55C"},
    {true, 1, 5, kAny, 7, u"P55C"},
    {true, 1, 5, kAny, 8, u"P55C (0.25介)"},
    {true, 1, 6, kAny, 0, u"P6 A-step"},
    {true, 1, 6, kAny, 1, u"P6"},
    {true, 1, 6, kAny, 3, u"P2 (0.28 介)"},
    {true, 1, 6, kAny, 5, u"P2 (0.25 介)"},
    {true, 1, 6, kAny, 6, u"P2 with on-die L2 cache"},
    {true, 1, 6, kAny, 7, u"P3 (0.25 介)"},
    {true, 1, 6, kAny, 8, u"P3 (0.18 介) with 256 KB on-die L2 cache"},
    {true, 1, 6, kAny, 9, u"PM (0.13 介) with 1 MB on-die L2 cache"},
    {true, 1, 6, kAny, 10, u"P3 (0.18 介) with 1 or 2 MB on-die L2 cache"},
    {true, 1, 6, kAny, 11, u"P3 (0.13 介) with 256 or 512 KB on-die L2 cache"},
    {true, 1, 15, 0, 0, u"P4 (0.18 介)"},
    {true, 1, 15, 0, 1, u"P4 (0.18 介)"},
    {true, 1, 15, 0, 2, u"P4 (0.13 介)"},
    {true, 1, 15, 0, 3, u"P4 (0.09 介)"},
    {true, 2, 4, kAny, 3, u"80486DX2"},
    {true, 2, 4, kAny, 7, u"80486DX2WB"},
    {true, 2, 4, kAny, 8, u"80486DX4"},
    {true, 2, 4, kAny, 9, u"80486DX4WB"},
    {true, 2, 4, kAny, 14, u"5x86"},
    {true, 2, 4, kAny, 15, u"5x86WB"},
    {true, 2, 5, kAny, 0, u"SSA5 (PR75, PR90, PR100)"},
    {true, 2, 5, kAny, 1, u"5k86 (PR120, PR133)"},
    {true, 2, 5, kAny, 2, u"5k86 (PR166)"},
    {true, 2, 5, kAny, 3, u"5k86 (PR200)"},
    {true, 2, 5, kAny, 6, u"K6 (0.30 介)"},
    {true, 2, 5, kAny, 7, u"K6 (0.25 介)"},
    {true, 2, 5, kAny, 8, u"K6-2"},
    {true, 2, 5, kAny, 9, u"K6-III"},
    {true, 2, 5, kAny, 13, u"K6-2+ or K6-III+ (0.18 介)"},
    {true, 2, 6, kAny, 1, u"Athlon (0.25 介)"},
    {true, 2, 6, kAny, 2, u"Athlon (0.18 介)"},
    {true, 2, 6, kAny, 3, u"Duron (SF core)"},
    {true, 2, 6, kAny, 4, u"Athlon (TB core)"},
    {true, 2, 6, kAny, 6, u"Athlon (PM core)"},
    {true, 2, 6, kAny, 7, u"Duron (MG core)"},
    {true, 2, 6, kAny, 8, u"Athlon (TH core)"},
    {true, 2, 6, kAny, 10, u"Athlon (BT core)"},
    {true, 2, 15, 0, 5, u"Opteron DP (0.13 介)"},
    {true, 3, kAny, kAny, 1, u"U5D"},
    {true, 3, kAny, kAny, 2, u"U5S"},
    {true, 4, 4, kAny, 4, u"GX, GXm"},
    {true, 4, 4, kAny, 9, u"5x86"},
    {true, 4, 5, kAny, 2, u"6x86"},
    {true, 4, 5, kAny, 5, u"Cyrix M2 core"},
    {true, 4, 5, kAny, 6, u"WinChip C5A core"},
    {true, 4, 5, kAny, 7, kByStepping},
    {true, 4, 5, kAny, 8, u"WinChip C5N core"},
    {true, 4, 5, kAny, 9, u"WinChip C5XL core"},
    {true, 4, 6, kAny, 0, u"6x86MX"},
    {true, 5, kAny, kAny, 0, u"Nx586 or Nx586FPU"},
    {true, 6, kAny, kAny, 4, u"C6"},
    {true, 6, kAny, kAny, 8, u"C2"},
    {true, 6, kAny, kAny, 9, u"C3"},
    {true, 7, kAny, kAny, 0, u"mP6 (0.25 介)"},
    {true, 7, kAny, kAny, 2, u"mP6 (0.18 介)"},
    {true, 8, kAny, kAny, 0, u"55x"},
    {true, 9, kAny, kAny, 4, u"Crusoe TM3x00 and TM5x00"},
    {false, 2, 5, kAny, 1, u"5k86 (PR120 or PR133)"},
    {false, 2, 5, kAny, 2, u"5k86 (PR166)"},
    {false, 2, 5, kAny, 3, u"5k86 (PR200)"},
    {false, 2, 6, kAny, 6, u"K6 (0.30 介)"},
    {false, 2, 6, kAny, 7, u"K6 (0.25 介)"},
    {false, 2, 6, kAny, 8, u"K6-2"},
    {false, 2, 6, kAny, 9, u"K6-III"},
    {false, 2, 6, kAny, 13, u"K6-2+ or K6-III+ (0.18 介)"},
    {false, 2, 7, kAny, 1, u"Athlon (0.25 介)"},
    {false, 2, 7, kAny, 2, u"Athlon (0.18 介)"},
    {false, 2, 7, kAny, 3, u"Duron (SF core)"},
    {false, 2, 7, kAny, 4, u"Athlon (TB core)"},
    {false, 2, 7, kAny, 6, u"Athlon (PM core)"},
    {false, 2, 7, kAny, 7, u"Duron (MG core)"},
    {false, 2, 7, kAny, 8, u"Athlon (TH core)"},
    {false, 2, 7, kAny, 10, u"Athlon (BT core)"},
    {false, 2, 15, 0, 5, u"Opteron DP (0.13 介)"},
    {false, 4, kAny, kAny, 6, u"WinChip C5A core"},
    {false, 4, kAny, kAny, 7, kByStepping},
    {false, 4, kAny, kAny, 8, u"WinChip C5N core"},
    {false, 4, kAny, kAny, 9, u"WinChip C5XL core"},
    {false, 6, kAny, kAny, 8, u"C2"},
    {false, 6, kAny, kAny, 9, u"C3"},
    {false, 9, kAny, kAny, 4, u"Crusoe TM3x00 and TM5x00"},
};

constexpr const char16_t* kTypeNames[] = {u"Primary processor", u"Overdrive processor", u"Secondary processor", u""};

bool Matches(int32_t column, int32_t value) { return column == kAny || column == value; }

}  // namespace

int32_t clsCpuInfo::CpuStepping(bool Standard) {
    const auto sig = Signature(Standard);
    return sig ? static_cast<int32_t>(Bits(*sig, 3, 0)) : 0;
}

int32_t clsCpuInfo::CpuModel(bool Standard) {
    const auto sig = Signature(Standard);
    return sig ? static_cast<int32_t>(Bits(*sig, 7, 4)) : 0;
}

int32_t clsCpuInfo::CpuFamily(bool Standard) {
    const auto sig = Signature(Standard);
    return sig ? static_cast<int32_t>(Bits(*sig, 11, 8)) : 0;
}

int32_t clsCpuInfo::CpuModelEx(bool Standard) {
    const auto sig = Signature(Standard);
    return sig ? static_cast<int32_t>(Bits(*sig, 19, 16)) : 0;
}

int32_t clsCpuInfo::CpuFamilyEx(bool Standard) {
    const auto sig = Signature(Standard);
    return sig ? static_cast<int32_t>(Bits(*sig, 27, 20)) : 0;
}

int32_t clsCpuInfo::CpuType() { return LevelsStd_ >= 1 ? static_cast<int32_t>(Bits(StdRegs_[1].eax, 13, 12)) : 0; }

String clsCpuInfo::CpuTypeStr() { return LevelsStd_ >= 1 ? kTypeNames[CpuType()] : String(); }

String clsCpuInfo::CpuFamilyStr(bool Standard) {
    if (LevelsStd_ < 1) return String();
    const int32_t f = CpuFamily(Standard), fx = CpuFamilyEx(Standard), v = Vendor();
    for (const auto& row : kFamilies)
        if (row.standard == Standard && row.family == f && Matches(row.familyEx, fx) && Matches(row.vendor, v))
            return row.text;
    return String();
}

String clsCpuInfo::CpuModelStr(bool Standard) {
    if (LevelsStd_ < 1) return String();
    const int32_t m = CpuModel(Standard), f = CpuFamily(Standard), fx = CpuFamilyEx(Standard), v = Vendor();
    String text;
    for (const auto& row : kModels) {
        if (row.standard != Standard || row.vendor != v || row.model != m || !Matches(row.family, f) ||
            !Matches(row.familyEx, fx))
            continue;
        if (row.text != kByStepping) text = row.text;
        else text = CpuStepping(Standard) < 8 ? u"WinChip C5B core" : u"WinChip C5C core";
        break;
    }
    if (m == 15) text += u" - Extended model #" + HexPad(CpuModelEx(Standard));
    return text;
}

String clsCpuInfo::NameStr() {
    if (LevelsExt_ < 4) return String();
    String name;
    for (int i = 2; i <= 4; ++i) {
        const CpuRegs& leaf = ExtRegs_[i];
        name += RegisterStr(leaf.eax) + RegisterStr(leaf.ebx) + RegisterStr(leaf.ecx) + RegisterStr(leaf.edx);
    }
    // Only blanks go: the NULs that end the stored name are not blanks and stay.
    return Trim(name);
}

}  // namespace velmora
