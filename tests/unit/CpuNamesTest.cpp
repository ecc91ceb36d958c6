// Family, model and type names: every row of both tables held against its text,
// through signatures as the processor stores them.
#include <gtest/gtest.h>

#include <memory>

#include "FakePlatform.h"
#include "cpu/clsCpuInfo.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakeCpu;
using testing::FakePlatform;

// The vendor texts by vendor number; 0 is a text of no known vendor.
const char* const kVendorIds[] = {"NoSuchVendor", "GenuineIntel", "AuthenticAMD", "UMC UMC UMC ",
                                  "CyrixInstead", "NexGenDriven", "CentaurHauls", "RiseRiseRise",
                                  "SiS SiS SiS ", "GenuineTMx86", "Geode by NSC"};

constexpr uint32_t Sig(uint32_t family, uint32_t model, uint32_t stepping = 0, uint32_t familyEx = 0,
                       uint32_t modelEx = 0) {
    return familyEx << 20 | modelEx << 16 | family << 8 | model << 4 | stepping;
}

// A processor of `vendor` whose signature `sig` stands in leaf 1 (standard) or
// leaf 0x80000001 (extended).
struct Processor {
    FakePlatform fake;
    std::unique_ptr<clsCpuInfo> info;
    Processor(int vendor, bool standard, uint32_t sig, uint32_t maxExtended = 0x80000001) {
        fake.cpu.SetVendor(kVendorIds[vendor], 1, maxExtended);
        fake.cpu.SetLeaf(standard ? 1 : 0x80000001, sig, 0, 0, 0);
        info = std::make_unique<clsCpuInfo>(fake);
    }
};

struct NameCase {
    bool standard;
    int vendor;
    uint32_t sig;
    const char16_t* text;
};

std::string Describe(const NameCase& c) {
    char text[64];
    std::snprintf(text, sizeof text, "%s vendor %d signature %08X", c.standard ? "standard" : "extended", c.vendor,
                  static_cast<unsigned>(c.sig));
    return text;
}

TEST(CpuNames, EveryFamilyRow) {
    const NameCase cases[] = {
        {true, 1, Sig(4, 0), u"80486"},
        {true, 2, Sig(4, 0), u"5x86"},
        {true, 4, Sig(4, 0), u"5x86"},
        {true, 1, Sig(5, 0), u"P5, P54C, P55C, P24T"},
        {true, 2, Sig(5, 0), u"K5, K6"},
        {true, 4, Sig(5, 0), u"M1"},
        {true, 5, Sig(5, 0), u"Nx586"},
        {true, 6, Sig(5, 0), u"C6, C2, C3"},
        {true, 7, Sig(5, 0), u"mP6"},
        {true, 8, Sig(5, 0), u"55x"},
        {true, 9, Sig(5, 0), u"TM3x00, TM5x00"},
        {true, 1, Sig(6, 0), u"P6, P2, P3, PM"},
        {true, 2, Sig(6, 0), u"K7"},
        {true, 4, Sig(6, 0), u"M2"},
        {true, 6, Sig(6, 0), u"C3"},
        {true, 1, Sig(7, 0), u"Itanium"},
        {true, 1, Sig(15, 0), u"P4"},
        {true, 2, Sig(15, 0), u"K8"},
        {true, 1, Sig(15, 0, 0, 1), u"Itanium 2"},
        {true, 7, Sig(15, 0, 0, 1), u"Itanium 2"},
        {false, 2, Sig(5, 0), u"K5"},
        {false, 6, Sig(5, 0), u"C2, C3"},
        {false, 9, Sig(5, 0), u"TM3x00, TM5x00"},
        {false, 2, Sig(6, 0), u"K6"},
        {false, 6, Sig(6, 0), u"C3"},
        {false, 2, Sig(7, 0), u"K7"},
        {false, 2, Sig(15, 0), u"K8"},
        // Pairs with no row.
        {true, 3, Sig(4, 0), u""},
        {true, 0, Sig(6, 0), u""},
        {true, 1, Sig(15, 0, 0, 2), u""},
        {true, 6, Sig(15, 0), u""},
        {false, 1, Sig(6, 0), u""},
        {false, 2, Sig(15, 0, 0, 1), u""},
        {false, 2, Sig(4, 0), u""},
    };
    for (const auto& c : cases) {
        Processor p(c.vendor, c.standard, c.sig);
        EXPECT_EQ(Utf16ToUtf8(p.info->CpuFamilyStr(c.standard)), Utf16ToUtf8(c.text)) << Describe(c);
    }
}

TEST(CpuNames, EveryModelRow) {
    const NameCase cases[] = {
        {true, 1, Sig(4, 0), u"i80486DX-25/33"},
        {true, 1, Sig(4, 1), u"i80486DX-50"},
        {true, 1, Sig(4, 2), u"i80486SX"},
        {true, 1, Sig(4, 3), u"i80486DX2"},
        {true, 1, Sig(4, 4), u"i80486SL"},
        {true, 1, Sig(4, 5), u"i80486SX2"},
        {true, 1, Sig(4, 7), u"i80486DX2WB"},
        {true, 1, Sig(4, 8), u"i80486DX4"},
        {true, 1, Sig(4, 9), u"i80486DX4WB"},
        {true, 1, Sig(5, 0), u"P5 A-step"},
        {true, 1, Sig(5, 1), u"P5"},
        {true, 1, Sig(5, 2), u"P54C"},
        {true, 1, Sig(5, 3), u"P24T Overdrive"},
        {true, 1, Sig(5, 4), u"P55C"},
        {true, 1, Sig(5, 7), u"P55C"},
        {true, 1, Sig(5, 8), u"P55C (0.25介)"},
        {true, 1, Sig(6, 0), u"P6 A-step"},
        {true, 1, Sig(6, 1), u"P6"},
        {true, 1, Sig(6, 3), u"P2 (0.28 介)"},
        {true, 1, Sig(6, 5), u"P2 (0.25 介)"},
        {true, 1, Sig(6, 6), u"P2 with on-die L2 cache"},
        {true, 1, Sig(6, 7), u"P3 (0.25 介)"},
        {true, 1, Sig(6, 8), u"P3 (0.18 介) with 256 KB on-die L2 cache"},
        {true, 1, Sig(6, 9), u"PM (0.13 介) with 1 MB on-die L2 cache"},
        {true, 1, Sig(6, 10), u"P3 (0.18 介) with 1 or 2 MB on-die L2 cache"},
        {true, 1, Sig(6, 11), u"P3 (0.13 介) with 256 or 512 KB on-die L2 cache"},
        {true, 1, Sig(15, 0), u"P4 (0.18 介)"},
        {true, 1, Sig(15, 1), u"P4 (0.18 介)"},
        {true, 1, Sig(15, 2), u"P4 (0.13 介)"},
        {true, 1, Sig(15, 3), u"P4 (0.09 介)"},
        {true, 2, Sig(4, 3), u"80486DX2"},
        {true, 2, Sig(4, 7), u"80486DX2WB"},
        {true, 2, Sig(4, 8), u"80486DX4"},
        {true, 2, Sig(4, 9), u"80486DX4WB"},
        {true, 2, Sig(4, 14), u"5x86"},
        {true, 2, Sig(4, 15), u"5x86WB - Extended model #0"},
        {true, 2, Sig(5, 0), u"SSA5 (PR75, PR90, PR100)"},
        {true, 2, Sig(5, 1), u"5k86 (PR120, PR133)"},
        {true, 2, Sig(5, 2), u"5k86 (PR166)"},
        {true, 2, Sig(5, 3), u"5k86 (PR200)"},
        {true, 2, Sig(5, 6), u"K6 (0.30 介)"},
        {true, 2, Sig(5, 7), u"K6 (0.25 介)"},
        {true, 2, Sig(5, 8), u"K6-2"},
        {true, 2, Sig(5, 9), u"K6-III"},
        {true, 2, Sig(5, 13), u"K6-2+ or K6-III+ (0.18 介)"},
        {true, 2, Sig(6, 1), u"Athlon (0.25 介)"},
        {true, 2, Sig(6, 2), u"Athlon (0.18 介)"},
        {true, 2, Sig(6, 3), u"Duron (SF core)"},
        {true, 2, Sig(6, 4), u"Athlon (TB core)"},
        {true, 2, Sig(6, 6), u"Athlon (PM core)"},
        {true, 2, Sig(6, 7), u"Duron (MG core)"},
        {true, 2, Sig(6, 8), u"Athlon (TH core)"},
        {true, 2, Sig(6, 10), u"Athlon (BT core)"},
        {true, 2, Sig(15, 5), u"Opteron DP (0.13 介)"},
        {true, 3, Sig(4, 1), u"U5D"},
        {true, 3, Sig(5, 2), u"U5S"},
        {true, 4, Sig(4, 4), u"GX, GXm"},
        {true, 4, Sig(4, 9), u"5x86"},
        {true, 4, Sig(5, 2), u"6x86"},
        {true, 4, Sig(5, 5), u"Cyrix M2 core"},
        {true, 4, Sig(5, 6), u"WinChip C5A core"},
        {true, 4, Sig(5, 7, 7), u"WinChip C5B core"},
        {true, 4, Sig(5, 7, 8), u"WinChip C5C core"},
        {true, 4, Sig(5, 8), u"WinChip C5N core"},
        {true, 4, Sig(5, 9), u"WinChip C5XL core"},
        {true, 4, Sig(6, 0), u"6x86MX"},
        {true, 5, Sig(5, 0), u"Nx586 or Nx586FPU"},
        {true, 6, Sig(6, 4), u"C6"},
        {true, 6, Sig(5, 8), u"C2"},
        {true, 6, Sig(15, 9), u"C3"},
        {true, 7, Sig(6, 0), u"mP6 (0.25 介)"},
        {true, 7, Sig(0, 2), u"mP6 (0.18 介)"},
        {true, 8, Sig(5, 0), u"55x"},
        {true, 9, Sig(5, 4), u"Crusoe TM3x00 and TM5x00"},
        {false, 2, Sig(5, 1), u"5k86 (PR120 or PR133)"},
        {false, 2, Sig(5, 2), u"5k86 (PR166)"},
        {false, 2, Sig(5, 3), u"5k86 (PR200)"},
        {false, 2, Sig(6, 6), u"K6 (0.30 介)"},
        {false, 2, Sig(6, 7), u"K6 (0.25 介)"},
        {false, 2, Sig(6, 8), u"K6-2"},
        {false, 2, Sig(6, 9), u"K6-III"},
        {false, 2, Sig(6, 13), u"K6-2+ or K6-III+ (0.18 介)"},
        {false, 2, Sig(7, 1), u"Athlon (0.25 介)"},
        {false, 2, Sig(7, 2), u"Athlon (0.18 介)"},
        {false, 2, Sig(7, 3), u"Duron (SF core)"},
        {false, 2, Sig(7, 4), u"Athlon (TB core)"},
        {false, 2, Sig(7, 6), u"Athlon (PM core)"},
        {false, 2, Sig(7, 7), u"Duron (MG core)"},
        {false, 2, Sig(7, 8), u"Athlon (TH core)"},
        {false, 2, Sig(7, 10), u"Athlon (BT core)"},
        {false, 2, Sig(15, 5), u"Opteron DP (0.13 介)"},
        {false, 4, Sig(5, 6), u"WinChip C5A core"},
        {false, 4, Sig(6, 7, 7), u"WinChip C5B core"},
        {false, 4, Sig(6, 7, 8), u"WinChip C5C core"},
        {false, 4, Sig(5, 8), u"WinChip C5N core"},
        {false, 4, Sig(5, 9), u"WinChip C5XL core"},
        {false, 6, Sig(6, 8), u"C2"},
        {false, 6, Sig(6, 9), u"C3"},
        {false, 9, Sig(5, 4), u"Crusoe TM3x00 and TM5x00"},
    };
    for (const auto& c : cases) {
        Processor p(c.vendor, c.standard, c.sig);
        EXPECT_EQ(Utf16ToUtf8(p.info->CpuModelStr(c.standard)), Utf16ToUtf8(c.text)) << Describe(c);
    }
}

TEST(CpuNames, SignatureCases) {
    const NameCase cases[] = {
        {true, 1, 0x00000F29, u"P4 (0.13 介)"},
        {true, 1, 0x000006F6, u" - Extended model #0"},  // family 6, model 15: no row, the suffix alone
        {true, 1, 0x000C06F2, u" - Extended model #C"},
        {true, 1, 0x000106A5, u"P3 (0.18 介) with 1 or 2 MB on-die L2 cache"},  // model 10: extended model unused
        {true, 2, 0x00100F51, u""},                                             // extended family 1: no model row
        {true, 1, Sig(15, 2, 0, 1), u""},
        {true, 2, Sig(4, 15, 0, 0, 0xA), u"5x86WB - Extended model #A"},
        {true, 1, Sig(5, 8, 0, 0, 3), u"P55C (0.25介)"},
        {true, 0, Sig(6, 1), u""},
        {true, 10, Sig(5, 4), u""},
        {false, 1, Sig(6, 1), u""},
        {false, 6, Sig(6, 15, 0, 0, 0xF), u" - Extended model #F"},
    };
    for (const auto& c : cases) {
        Processor p(c.vendor, c.standard, c.sig);
        EXPECT_EQ(Utf16ToUtf8(p.info->CpuModelStr(c.standard)), Utf16ToUtf8(c.text)) << Describe(c);
    }
    Processor itanium(2, true, 0x00100F51);
    EXPECT_EQ(itanium.info->CpuFamilyStr(true), u"Itanium 2");
    Processor p4(1, true, 0x00000F29);
    EXPECT_EQ(p4.info->CpuFamilyStr(true), u"P4");
    EXPECT_EQ(p4.info->CpuType(), 0);
    EXPECT_EQ(p4.info->CpuTypeStr(), u"Primary processor");
}

TEST(CpuNames, SignatureFieldsAndTheirLevels) {
    Processor p(1, true, 0xFAB62F29);
    clsCpuInfo& info = *p.info;
    EXPECT_EQ(info.CpuStepping(true), 9);
    EXPECT_EQ(info.CpuModel(true), 2);
    EXPECT_EQ(info.CpuFamily(true), 15);
    EXPECT_EQ(info.CpuModelEx(true), 6);
    EXPECT_EQ(info.CpuFamilyEx(true), 0xAB);
    EXPECT_EQ(info.CpuType(), 2);
    EXPECT_EQ(info.CpuTypeStr(), u"Secondary processor");
    // Omitted Standard means the extended signature, here zeros.
    EXPECT_EQ(info.CpuFamily(), 0);
    EXPECT_EQ(info.CpuModelStr(), u"");

    // The extended signature counts only with an extended level of at least 1.
    Processor noExt(2, false, Sig(7, 1, 3, 0, 5), 0);
    EXPECT_EQ(noExt.info->CpuModel(false), 0);
    EXPECT_EQ(noExt.info->CpuStepping(false), 0);
    EXPECT_EQ(noExt.info->CpuModelStr(false), u"");
    EXPECT_EQ(noExt.info->CpuFamilyStr(false), u"");
    Processor ext(2, false, Sig(7, 1, 3, 0, 5));
    EXPECT_EQ(ext.info->CpuModel(), 1);
    EXPECT_EQ(ext.info->CpuStepping(), 3);
    EXPECT_EQ(ext.info->CpuModelEx(), 5);
    EXPECT_EQ(ext.info->CpuModelStr(), u"Athlon (0.25 介)");
    EXPECT_EQ(ext.info->CpuFamilyStr(), u"K7");
}

TEST(CpuNames, TypeNames) {
    const std::pair<uint32_t, const char16_t*> cases[] = {
        {0x0000, u"Primary processor"},
        {0x1000, u"Overdrive processor"},
        {0x2000, u"Secondary processor"},
        {0x3000, u""},
    };
    for (const auto& [eax, text] : cases) {
        Processor p(1, true, eax);
        EXPECT_EQ(p.info->CpuType(), static_cast<int32_t>(eax >> 12));
        EXPECT_EQ(p.info->CpuTypeStr(), text) << eax;
    }
}

TEST(CpuNames, UnidentifiedProcessorHasNoNames) {
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 0, 0x80000004);
    fake.cpu.SetLeaf(1, 0x00000F29, 0, 0, 0);
    fake.cpu.SetLeaf(0x80000001, Sig(6, 1), 0, 0, 0);
    clsCpuInfo info(fake);
    for (const bool standard : {true, false}) {
        EXPECT_EQ(info.CpuModelStr(standard), u"");
        EXPECT_EQ(info.CpuFamilyStr(standard), u"");
        EXPECT_EQ(info.CpuFamily(standard), 0);
    }
    EXPECT_EQ(info.CpuType(), 0);
    EXPECT_EQ(info.CpuTypeStr(), u"");
}

// The brand name as a processor stores it: three leaves of four registers.
void StoreName(FakeCpu& cpu, const std::string& name48) {
    for (uint32_t leaf = 0; leaf < 3; ++leaf) {
        const char* part = name48.data() + leaf * 16;
        cpu.SetLeaf(0x80000002 + leaf, FakeCpu::Text4(part), FakeCpu::Text4(part + 4), FakeCpu::Text4(part + 8),
                    FakeCpu::Text4(part + 12));
    }
}

TEST(CpuNames, NameStrTrimsBlanksAndKeepsTheEndingNuls) {
    const std::string stored = std::string("  Intel(R) Pentium(R) 4 CPU 2.40GHz ") + std::string(12, '\0');
    ASSERT_EQ(stored.size(), 48u);
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 2, 0x80000004);
    StoreName(fake.cpu, stored);
    clsCpuInfo info(fake);
    // The trailing blank sits before the NULs, so only the leading ones go.
    EXPECT_EQ(info.NameStr(), u"Intel(R) Pentium(R) 4 CPU 2.40GHz " + String(12, u'\0'));

    FakePlatform older;
    older.cpu.SetVendor("GenuineIntel", 2, 0x80000003);
    StoreName(older.cpu, stored);
    EXPECT_EQ(clsCpuInfo(older).NameStr(), u"");
}

}  // namespace
}  // namespace velmora
