// Cache descriptions, brand, features, serial number, power flags, address widths
// and the interval timer, on a scripted processor.
#include <gtest/gtest.h>

#include <memory>

#include "FakePlatform.h"
#include "base/RuntimeError.h"
#include "cpu/clsCpuInfo.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakePlatform;

std::unique_ptr<clsCpuInfo> Make(FakePlatform& fake, const char* vendor, uint32_t maxStd, uint32_t maxExt) {
    fake.cpu.SetVendor(vendor, maxStd, maxExt);
    return std::make_unique<clsCpuInfo>(fake);
}

TEST(CpuCache, DescriptorsOfOnePass) {
    struct Case {
        uint32_t eax, ebx, ecx, edx;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {0x665B5001, 0, 0, 0x007A7000, {0x66, 0x5B, 0x50, 0x7A, 0x70}},
        {0x80000001, 0x11223344, 0x00000055, 0x8899AABB, {0x11, 0x22, 0x33, 0x44, 0x55}},  // flagged eax, edx
        {0x665B5000, 0x11223344, 0, 0, {}},                                                  // count 0
        {0x00000001, 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.cpu.SetLeaf(2, c.eax, c.ebx, c.ecx, c.edx);
        auto info = Make(fake, "GenuineIntel", 2, 0);
        const size_t executed = fake.cpu.executed.size();
        EXPECT_EQ(info->CacheDescriptors(), c.bytes) << std::hex << c.eax;
        EXPECT_EQ(fake.cpu.executed.size(), executed) << "one pass needs no further execution";
    }
}

TEST(CpuCache, DescriptorsBelowLevelTwoAreTheSingleByteZero) {
    FakePlatform fake;
    fake.cpu.SetLeaf(2, 0x665B5001, 0, 0, 0);
    EXPECT_EQ(Make(fake, "GenuineIntel", 1, 0)->CacheDescriptors(), std::vector<uint8_t>{0});
}

TEST(CpuCache, RepeatedPassesReadLeafTwoAgainAfterEach) {
    FakePlatform fake;
    fake.cpu.leaves[2] = {CpuRegs{0x00000A02, 0, 0, 0}, CpuRegs{0x00000B02, 0, 0, 0xC0000000},
                          CpuRegs{0x00000C02, 0, 0, 0}};
    auto info = Make(fake, "GenuineIntel", 2, 0);
    const size_t executed = fake.cpu.executed.size();
    // The count is taken once (2); the second pass reads what the second execution left.
    EXPECT_EQ(info->CacheDescriptors(), (std::vector<uint8_t>{0x0A, 0x0B}));
    EXPECT_EQ(fake.cpu.executed.size(), executed + 2);
    uint32_t a = 0, b = 0, c = 0, d = 0;
    info->LevelGet(2, a, b, c, d);
    EXPECT_EQ(a, 0x00000C02u);  // the record keeps the last execution
}

TEST(CpuCache, EveryExtendedCacheField) {
    FakePlatform fake;
    fake.cpu.SetLeaf(0x80000005, 0xA1B2C3D4, 0x11223344, 0x55667788, 0x99AABBCC);
    fake.cpu.SetLeaf(0x80000006, 0x9ABCDEF1, 0x2345678A, 0x02006140, 0);
    auto info = Make(fake, "AuthenticAMD", 1, 0x80000006);
    const int32_t expected[28] = {0xA1, 0xB2, 0xC3, 0xD4, 0x11, 0x22,  0x33, 0x44, 0x55, 0x66,
                                  0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC,  0x9,  0xABC, 0xD, 0xEF1,
                                  0x2,  0x345, 0x6, 0x78A, 512, 6, 1, 64};
    for (int32_t field = 0; field < 28; ++field) EXPECT_EQ(info->xCache(field), expected[field]) << field;
    EXPECT_EQ(info->xCache(28), 0);
    EXPECT_EQ(info->xCache(-1), 0);

    FakePlatform older;
    older.cpu.SetLeaf(0x80000006, 0x9ABCDEF1, 0x2345678A, 0x02006140, 0);
    auto olderInfo = Make(older, "AuthenticAMD", 1, 0x80000005);
    EXPECT_EQ(olderInfo->xCache(24), 0);
    EXPECT_EQ(olderInfo->xCacheAssocStr(255), u"");
}

TEST(CpuCache, EveryAssociativityRow) {
    FakePlatform fake;
    auto info = Make(fake, "AuthenticAMD", 1, 0x80000006);
    const std::pair<int32_t, const char16_t*> cases[] = {
        {0, u"Off"},   {1, u"Direct mapped"}, {2, u"2-way"}, {4, u"4-way"}, {6, u"8-way"},
        {8, u"16-way"}, {255, u"Full"},        {3, u""},      {15, u""},    {256, u""},
        {-1, u""},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(Utf16ToUtf8(info->xCacheAssocStr(code)), Utf16ToUtf8(text)) << code;
}

struct BrandCase {
    int vendor;
    uint32_t leaf1ebx, ext1ebx;
    bool standard;
    const char16_t* text;
};

TEST(CpuBrand, EveryBrandRowAndTheOpteronRule) {
    const char* vendors[] = {"", "GenuineIntel", "AuthenticAMD", "CyrixInstead"};
    const BrandCase cases[] = {
        {1, 1, 0, true, u"0.18 介 Intel Celeron"},
        {1, 2, 0, true, u"0.18 介 Intel Pentium III"},
        {1, 2027, 0, true, u"0.18 介 Intel Pentium III"},
        {1, 3, 0, true, u"0.18 介 Intel Pentium III Xeon OR 0.13 介 Intel Celeron"},
        {1, 4, 0, true, u"0.13 介 Intel Pentium III"},
        {1, 6, 0, true, u"0.13 介 Intel Pentium III mobile"},
        {1, 7, 0, true, u"0.13 介 Intel Celeron mobile"},
        {1, 8, 0, true, u"0.18 介 Intel Pentium 4 OR 0.13 介 Intel Celeron 4 mobile (0F24h)"},
        {1, 9, 0, true, u"0.13 介 Intel Pentium 4"},
        {1, 10, 0, true, u"0.18 介 Intel Celeron 4"},
        {1, 11, 0, true, u"0.18 介 Intel Pentium 4 Xeon MP OR 0.13 介 Intel Pentium 4 Xeon"},
        {1, 12, 0, true, u"0.13 介 Intel Pentium 4 Xeon MP"},
        {1, 14, 0, true, u"0.13 介 Intel Pentium 4 mobile"},
        {1, 15, 0, true, u"0.13 介 Intel Celeron 4 mobile (0F27h)"},
        {1, 22, 0, true, u"0.13 介 Intel Pentium M"},
        {3, 9, 0, true, u"0.13 介 Intel Pentium 4"},  // whatever the vendor
        {1, 5, 0, true, u""},
        {1, 13, 0, true, u""},
        {1, 0x00010802, 0, true, u""},  // brand 2 with other bits: the whole register finds no row
        {2, 0x00000066, 0, true, u"Opteron UP 144"},
        {2, 0x00000099, 0, true, u"Opteron DP 282"},
        {2, 0x000000BF, 0, true, u"Opteron MP 894"},
        {2, 0x00000046, 0, true, u""},
        {2, 0, 0x00000306, false, u"Opteron UP 144"},
        {2, 0, 0x00000506, false, u"Opteron MP 844"},
        {2, 0, 0x000004FF, false, u"Opteron DP 2542"},
        {2, 0, 0xFFFFF306, false, u"Opteron UP 144"},  // only bits 11 to 0 count
        {2, 0, 0x00000206, false, u""},
        {2, 0, 0, false, u""},
        {1, 0, 0x00000306, false, u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.cpu.SetLeaf(1, 0, c.leaf1ebx, 0, 0);
        fake.cpu.SetLeaf(0x80000001, 0, c.ext1ebx, 0, 0);
        auto info = Make(fake, vendors[c.vendor], 1, 0x80000001);
        EXPECT_EQ(Utf16ToUtf8(info->CpuBrandStr(c.standard)), Utf16ToUtf8(c.text))
            << "vendor " << c.vendor << std::hex << " ebx " << c.leaf1ebx << " ext ebx " << c.ext1ebx;
    }
}

TEST(CpuBrand, BrandNumbersAndTheirLevels) {
    FakePlatform fake;
    fake.cpu.SetLeaf(1, 0, 0xFF00F306, 0, 0);
    fake.cpu.SetLeaf(0x80000001, 0, 0xFFFFF306, 0, 0);
    auto info = Make(fake, "AuthenticAMD", 1, 0x80000001);
    EXPECT_EQ(info->CpuBrand(true), static_cast<int32_t>(0xFF00F306));
    EXPECT_EQ(info->CpuBrand(false), 0x306);
    EXPECT_EQ(info->CpuBrand(), 0x306);

    FakePlatform noExt;
    noExt.cpu.SetLeaf(0x80000001, 0, 0x306, 0, 0);
    auto noExtInfo = Make(noExt, "AuthenticAMD", 1, 0);
    EXPECT_EQ(noExtInfo->CpuBrand(false), 0);
    EXPECT_EQ(noExtInfo->CpuBrandStr(false), u"");

    FakePlatform none;
    none.cpu.SetLeaf(1, 0, 2, 0, 0);
    auto noneInfo = Make(none, "GenuineIntel", 0, 0);
    EXPECT_EQ(noneInfo->CpuBrand(true), 0);
    EXPECT_EQ(noneInfo->CpuBrandStr(true), u"");
}

TEST(CpuBrand, ApicIdAndLogicalCount) {
    FakePlatform fake;
    fake.cpu.SetLeaf(1, 0, 0x07100800, 0, 0);
    auto info = Make(fake, "GenuineIntel", 1, 0);
    EXPECT_EQ(info->ApicID(), 7);
    EXPECT_EQ(info->CpuLogicalCount(), std::optional<int32_t>(16));

    FakePlatform zero;
    zero.cpu.SetLeaf(1, 0, 0x07000800, 0, 0);
    EXPECT_EQ(Make(zero, "GenuineIntel", 1, 0)->CpuLogicalCount(), std::optional<int32_t>(0));

    FakePlatform none;
    none.cpu.SetLeaf(1, 0, 0x07100800, 0, 0);
    auto noneInfo = Make(none, "GenuineIntel", 0, 0);
    EXPECT_EQ(noneInfo->ApicID(), 0);
    EXPECT_EQ(noneInfo->CpuLogicalCount(), std::nullopt);  // no value, unlike a count of 0
}

TEST(CpuFeatures, EachRangeReadsItsRegisterAndBit) {
    struct Case {
        int32_t nType;
        uint32_t leaf1ecx, leaf1edx, ext1edx;
    };
    const Case cases[] = {
        {0, 1u, 0, 0},           {31, 1u << 31, 0, 0},  {32, 0, 1u, 0},       {50, 0, 1u << 18, 0},
        {63, 0, 1u << 31, 0},    {64, 0, 0, 1u},        {95, 0, 0, 1u << 31}, {77, 0, 0, 1u << 13},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.cpu.SetLeaf(1, 0, 0, c.leaf1ecx, c.leaf1edx);
        fake.cpu.SetLeaf(0x80000001, 0, 0, 0, c.ext1edx);
        auto info = Make(fake, "GenuineIntel", 1, 0x80000001);
        for (int32_t n = -1; n <= 96; ++n) EXPECT_EQ(info->Feature(n), n == c.nType) << c.nType << " asked " << n;
    }
}

TEST(CpuFeatures, LevelsGuardEachRange) {
    FakePlatform fake;
    fake.cpu.SetLeaf(1, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF);
    fake.cpu.SetLeaf(0x80000001, 0, 0, 0, 0xFFFFFFFF);
    auto info = Make(fake, "GenuineIntel", 1, 0);
    EXPECT_TRUE(info->Feature(0));
    EXPECT_TRUE(info->Feature(63));
    EXPECT_FALSE(info->Feature(64));  // the extended level is 0
    EXPECT_FALSE(info->Feature(96));
    EXPECT_FALSE(info->Feature(INT32_MIN));

    FakePlatform none;
    none.cpu.SetLeaf(1, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_FALSE(Make(none, "GenuineIntel", 0, 0)->Feature(0));
}

TEST(CpuSerial, StatusAndText) {
    struct Case {
        uint32_t maxStd, leaf1edx;
        int32_t status;
        const char16_t* text;
    };
    const Case cases[] = {
        {3, 1u << 18, 2, u"0000-0686-1234-5678-9ABC-DEF0"},
        {3, 0, 1, u""},
        {2, 1u << 18, 0, u""},  // the flag alone is not enough below leaf 3
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.cpu.SetLeaf(1, 0x00000686, 0, 0, c.leaf1edx);
        fake.cpu.SetLeaf(3, 0, 0, 0x9ABCDEF0, 0x12345678);
        auto info = Make(fake, "GenuineIntel", c.maxStd, 0);
        EXPECT_EQ(info->SnStatus(), c.status) << c.maxStd;
        EXPECT_EQ(info->SnStr(), c.text) << c.maxStd;
    }
}

TEST(CpuExtended, PowerManagementAndAddressWidths) {
    FakePlatform fake;
    fake.cpu.SetLeaf(0x80000007, 0, 0, 0, 0x80000100);
    fake.cpu.SetLeaf(0x80000008, 0x00003024, 0, 0, 0);
    auto info = Make(fake, "AuthenticAMD", 1, 0x80000008);
    EXPECT_EQ(info->xAddrBitsPhysical(), 36);
    EXPECT_EQ(info->xAddrBitsVirtual(), 48);
    for (int32_t n = -1; n <= 32; ++n) EXPECT_EQ(info->xPowerManagement(n), n == 8 || n == 31) << n;

    FakePlatform older;
    older.cpu.SetLeaf(0x80000007, 0, 0, 0, 0xFFFFFFFF);
    older.cpu.SetLeaf(0x80000008, 0x00003024, 0, 0, 0);
    auto olderInfo = Make(older, "AuthenticAMD", 1, 0x80000006);
    EXPECT_FALSE(olderInfo->xPowerManagement(0));
    EXPECT_EQ(olderInfo->xAddrBitsPhysical(), 0);
    EXPECT_EQ(olderInfo->xAddrBitsVirtual(), 0);
}

TEST(CpuBench, SecondsAndCyclesOfAnInterval) {
    FakePlatform fake;
    fake.cpu.perfFrequency = 3579545;
    fake.cpu.perfCount = 1000;
    fake.cpu.perfStep = 3579545 / 10;
    fake.cpu.timeStamp = 5000000000;
    fake.cpu.timeStampStep = 250000000;
    auto info = Make(fake, "GenuineIntel", 1, 0);
    double seconds = -1;
    Currency cycles = -1;
    info->BenchStart();
    info->BenchStop(seconds, cycles);
    EXPECT_DOUBLE_EQ(seconds, 357954.0 / 3579545.0);
    EXPECT_EQ(cycles, 250000000LL * 10000);  // the currency value is the cycle count
    // A second stop measures from the same start again.
    info->BenchStop(seconds, cycles);
    EXPECT_EQ(cycles, 500000000LL * 10000);
}

TEST(CpuBench, StopWithoutStartMeasuresFromZeroReadings) {
    FakePlatform fake;
    fake.cpu.perfFrequency = 1000;
    fake.cpu.perfCount = 2500;
    fake.cpu.timeStamp = 123456;
    auto info = Make(fake, "GenuineIntel", 1, 0);
    double seconds = 0;
    Currency cycles = 0;
    info->BenchStop(seconds, cycles);
    EXPECT_DOUBLE_EQ(seconds, 2.5);
    EXPECT_EQ(cycles, 123456LL * 10000);
}

TEST(CpuBench, ZeroFrequencyRaisesAndWritesNothing) {
    FakePlatform fake;
    fake.cpu.perfFails = true;
    auto info = Make(fake, "GenuineIntel", 1, 0);
    double seconds = -7;
    Currency cycles = -7;
    info->BenchStart();
    try {
        info->BenchStop(seconds, cycles);
        ADD_FAILURE() << "a zero frequency must raise";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 11);
    }
    EXPECT_EQ(seconds, -7);
    EXPECT_EQ(cycles, -7);
}

TEST(CpuBench, CycleCountBeyondTheCurrencyRangeOverflowsAfterTheSeconds) {
    struct Case {
        uint64_t step;
        bool overflows;
    };
    const Case cases[] = {{922337203685477u, false}, {922337203685478u, true}};
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.cpu.perfFrequency = 10;
        fake.cpu.perfStep = 20;
        fake.cpu.timeStampStep = c.step;
        auto info = Make(fake, "GenuineIntel", 1, 0);
        double seconds = -7;
        Currency cycles = -7;
        info->BenchStart();
        try {
            info->BenchStop(seconds, cycles);
            EXPECT_FALSE(c.overflows);
            EXPECT_EQ(cycles, static_cast<Currency>(c.step) * 10000);
        } catch (const RuntimeError& e) {
            EXPECT_TRUE(c.overflows);
            EXPECT_EQ(e.Number(), 6);
            EXPECT_EQ(cycles, -7);
        }
        EXPECT_DOUBLE_EQ(seconds, 2.0);
    }
}

}  // namespace
}  // namespace velmora
