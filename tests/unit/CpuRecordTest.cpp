// The primitives, the record of 13 leaves, the vendor and the two public methods
// built on clsCpuInfo, on a scripted processor.
#include <gtest/gtest.h>

#include <stdexcept>

#include "FakePlatform.h"
#include "base/RuntimeError.h"
#include "cpu/clsCpuInfo.h"
#include "public/CallBracket.h"
#include "public/clsTarsin.h"

namespace velmora {
namespace {

using testing::FakeCpu;
using testing::FakeEntry;
using testing::FakePlatform;

constexpr uint32_t kSentinel = 0xA5A5A5A5;

TEST(CpuId, ShiftRightIsLogicalAndUsesFiveBits) {
    struct Case {
        uint32_t value, shift, expected;
    };
    const Case cases[] = {
        {0x80000000u, 31, 1}, {0xFFFFFFFFu, 28, 15}, {0x12345678u, 0, 0x12345678u},
        {0x12345678u, 32, 0x12345678u}, {0xF0000000u, 4, 0x0F000000u}, {0xFFFFFFFFu, 33, 0x7FFFFFFFu},
    };
    for (const auto& c : cases) EXPECT_EQ(clsCpuId::ShiftRight(c.value, c.shift), c.expected) << c.value << ">>" << c.shift;
}

TEST(CpuId, WithoutTheIdentificationInstructionEveryOutputIsZero) {
    FakeCpu cpu;
    cpu.SetLeaf(0, 5, 1, 2, 3);
    cpu.hasCpuId = false;
    clsCpuId id(cpu);
    uint32_t a = kSentinel, b = kSentinel, c = kSentinel, d = kSentinel;
    id.CpuID(0, a, b, c, d);
    EXPECT_EQ((CpuRegs{a, b, c, d}), CpuRegs{});
}

TEST(CpuId, CpuClkWritesAllEightBytes) {
    FakeCpu cpu;
    cpu.timeStamp = 0xF122334455667788u;
    clsCpuId id(cpu);
    int64_t cycles = 0;
    id.CpuClk(cycles);
    EXPECT_EQ(static_cast<uint64_t>(cycles), 0xF122334455667788u);
}

TEST(CpuRecord, CreationReadsThirteenLeavesInOrderWhateverTheHighestLeaves) {
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 1, 0x80000000);
    clsCpuInfo info(fake);
    EXPECT_EQ(fake.cpu.executed, (std::vector<uint32_t>{0, 1, 2, 3, 0x80000000, 0x80000001, 0x80000002, 0x80000003,
                                                        0x80000004, 0x80000005, 0x80000006, 0x80000007,
                                                        0x80000008}));
}

TEST(CpuRecord, LevelsAndVendorFromLeafZero) {
    struct Case {
        uint32_t leaf0eax, extLeaf0eax;
        int32_t levelsStd, levelsExt, vendor;
        const char16_t* maker;
    };
    const Case cases[] = {
        {0x0000000D, 0x80000008, 13, 8, 1, u"Intel"},
        {0x00000100, 0x80000008, 0, 0, 0, u""},  // only the low byte counts
        {0x00000002, 0x00000002, 2, 2, 1, u"Intel"},  // extended leaves answered with standard data
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.cpu.SetVendor("GenuineIntel", c.leaf0eax, c.extLeaf0eax);
        clsCpuInfo info(fake);
        EXPECT_EQ(info.LevelsStd(), c.levelsStd) << std::hex << c.leaf0eax;
        EXPECT_EQ(info.LevelsExt(), c.levelsExt) << std::hex << c.leaf0eax;
        EXPECT_EQ(info.Vendor(), c.vendor) << std::hex << c.leaf0eax;
        EXPECT_EQ(info.ManufacturerStr(), c.maker) << std::hex << c.leaf0eax;
        EXPECT_EQ(info.Supported(), c.levelsStd != 0);
        EXPECT_EQ(info.Extended(), c.levelsExt != 0);
    }
}

TEST(CpuRecord, EveryVendorRow) {
    struct Case {
        const char* id;
        int32_t vendor;
        const char16_t* maker;
    };
    const Case cases[] = {
        {"GenuineIntel", 1, u"Intel"},      {"AuthenticAMD", 2, u"AMD"},
        {"UMC UMC UMC ", 3, u"UMC"},        {"CyrixInstead", 4, u"Cyrix"},
        {"NexGenDriven", 5, u"NexGen"},     {"CentaurHauls", 6, u"Centaur"},
        {"RiseRiseRise", 7, u"Rise"},       {"SiS SiS SiS ", 8, u"SIS"},
        {"GenuineTMx86", 9, u"Transmeta"},  {"Geode by NSC", 10, u"National Semiconductor"},
        {"genuineintel", 0, u"Unknown"},    {"UMC UMC UMC\0", 0, u"Unknown"},
        {"HygonGenuine", 0, u"Unknown"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.cpu.SetVendor(c.id, 1, 0);
        clsCpuInfo info(fake);
        EXPECT_EQ(info.Vendor(), c.vendor) << c.id;
        EXPECT_EQ(info.ManufacturerStr(), c.maker) << c.id;
        EXPECT_EQ(info.VendorIdStr(true).size(), 12u) << c.id;
    }
}

TEST(CpuRecord, ProcessorWithoutIdentification) {
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 13, 0x80000008);
    fake.cpu.hasCpuId = false;
    clsCpuInfo info(fake);
    EXPECT_EQ(info.LevelsStd(), 0);
    EXPECT_FALSE(info.Supported());
    EXPECT_EQ(info.Vendor(), 0);
    EXPECT_EQ(info.ManufacturerStr(), u"");  // not "Unknown"
    EXPECT_EQ(info.VendorIdStr(true), String(12, u'\0'));
    EXPECT_FALSE(info.CpuLogicalCount().has_value());
    EXPECT_EQ(info.CpuModelStr(true), u"");
    EXPECT_EQ(info.CpuFamilyStr(false), u"");
    EXPECT_EQ(info.NameStr(), u"");
    EXPECT_EQ(info.CacheDescriptors(), std::vector<uint8_t>{0});
}

TEST(CpuRecord, VendorTextKeepsEveryByteAsOneCharacter) {
    FakePlatform fake;
    fake.cpu.SetLeaf(0, 1, 0x756E6547, 0x00000000, 0x4900FF80);  // ebx "Genu", edx 80 FF 00 "I", ecx zeros
    clsCpuInfo info(fake);
    // The fake's code page is UTF-8, in which a lone byte 0x80 or 0xFF stands for nothing.
    EXPECT_EQ(info.VendorIdStr(true), u"Genu" + String(u"\uFFFD\uFFFD\0I", 4) + String(4, u'\0'));
    EXPECT_EQ(info.ManufacturerStr(), u"Unknown");
}

TEST(CpuRecord, LevelGetAndLevelSetAddressThirteenLeaves) {
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 3, 0x80000008);
    fake.cpu.SetLeaf(3, 30, 31, 32, 33);
    clsCpuInfo info(fake);
    uint32_t a = kSentinel, b = kSentinel, c = kSentinel, d = kSentinel;
    for (const int nReg : {13, -1, 1000}) {
        info.LevelGet(nReg, a, b, c, d);
        EXPECT_EQ((CpuRegs{a, b, c, d}), (CpuRegs{kSentinel, kSentinel, kSentinel, kSentinel})) << nReg;
        info.LevelSet(nReg, 1, 2, 3, 4);  // ignored
    }
    info.LevelGet(4, a, b, c, d);
    EXPECT_EQ(a, 0x80000008u);
    info.LevelGet(3, a, b, c, d);
    EXPECT_EQ((CpuRegs{a, b, c, d}), (CpuRegs{30, 31, 32, 33}));
    info.LevelSet(12, 5, 6, 7, 8);
    info.LevelGet(12, a, b, c, d);
    EXPECT_EQ((CpuRegs{a, b, c, d}), (CpuRegs{5, 6, 7, 8}));
}

TEST(CpuRecord, LevelSetThenRefreshWithoutReadingDecodesTheNewRecord) {
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 2, 0x80000004);
    clsCpuInfo info(fake);
    const size_t executed = fake.cpu.executed.size();
    info.LevelSet(0, 1, FakeCpu::Text4("Auth"), FakeCpu::Text4("cAMD"), FakeCpu::Text4("enti"));
    EXPECT_EQ(info.Vendor(), 1);  // derived fields wait for Refresh
    info.Refresh(false);
    EXPECT_EQ(fake.cpu.executed.size(), executed);  // the processor was not asked again
    EXPECT_EQ(info.LevelsStd(), 1);
    EXPECT_EQ(info.Vendor(), 2);
    EXPECT_EQ(info.ManufacturerStr(), u"AMD");
    info.Refresh(true);
    EXPECT_EQ(info.Vendor(), 1);
    EXPECT_EQ(info.LevelsStd(), 2);
}

// A record that cannot be identified keeps nothing of the record before it:
// otherwise another processor's extended leaves would be decoded under the old level.
TEST(CpuRecord, UnidentifiableRecordClearsTheExtendedLevel) {
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 2, 0x80000008);
    fake.cpu.SetLeaf(0x80000002, FakeCpu::Text4("Name"), 0, 0, 0);
    clsCpuInfo info(fake);
    ASSERT_EQ(info.LevelsExt(), 8);
    info.LevelSet(0, 0x100, 0, 0, 0);
    info.Refresh(false);
    EXPECT_EQ(info.LevelsStd(), 0);
    EXPECT_EQ(info.LevelsExt(), 0);
    EXPECT_FALSE(info.Extended());
    EXPECT_EQ(info.NameStr(), u"");
    EXPECT_EQ(info.Vendor(), 0);
}

TEST(CpuRecord, HexPad) {
    FakePlatform fake;
    clsCpuInfo info(fake);
    struct Case {
        int32_t value, width;
        const char16_t* expected;
    };
    const Case cases[] = {
        {255, 4, u"00FF"}, {0x12345, 4, u"12345"}, {-1, 4, u"FFFFFFFF"}, {0, 0, u"0"},
        {0xABC, 8, u"00000ABC"}, {7, -3, u"7"},
    };
    for (const auto& c : cases) EXPECT_EQ(info.HexPad(c.value, c.width), c.expected) << c.value << "," << c.width;
    EXPECT_EQ(info.HexPad(0), u"0");
    try {
        info.HexPad(1, INT32_MAX);
        ADD_FAILURE() << "a width without bound must not be allocated";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 7);
    }
}


TEST(CpuFacade, ManufacturerAndModelRunTheBracket) {
    FakePlatform fake;
    fake.cpu.SetVendor("GenuineIntel", 2, 0);
    fake.cpu.SetLeaf(1, 0x00000F29, 0, 0, 0);
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetCPUManufacturer(), u"Intel");
    EXPECT_EQ(tarsin.GetCPUModel(), u"P4 (0.13 介)");
    EXPECT_EQ(fake.Log(), FakeEntry("GetCPUManufacturer", "开始") + FakeEntry("GetCPUManufacturer", "结束") +
                               FakeEntry("GetCPUModel", "开始") + FakeEntry("GetCPUModel", "结束"));
}

TEST(CpuFacade, CpuNameComesFromTheRegistryNotTheProcessor) {
    FakePlatform fake;
    fake.cpu.hasCpuId = false;
    fake.registry.Key("HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0")
        .SetString("ProcessorNameString", std::string("  Intel(R) Pentium(R) 4 CPU 2.40GHz\0tail", 40));
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetCPUName(), u"  Intel(R) Pentium(R) 4 CPU 2.40GHz");
    EXPECT_TRUE(fake.cpu.executed.empty());
    EXPECT_EQ(fake.Log(), FakeEntry("GetCPUName", "开始") + FakeEntry("GetCPUName", "结束"));
}

TEST(CpuFacade, CpuNameWithoutTheValueIsEmptyWithBothEntries) {
    FakePlatform fake;
    fake.registry.Key("HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0").SetString("Identifier", "x86 Family 6");
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetCPUName(), u"");
    EXPECT_EQ(fake.Log(), FakeEntry("GetCPUName", "开始") + FakeEntry("GetCPUName", "结束"));
}

// GetCPUName's bracket: a failure becomes an error entry, with the text the host
// would be told of it, and an empty success.
TEST(CpuFacade, ErrorEntryBracketClearsTheFailure) {
    FakePlatform fake;
    const auto call = [&](auto work) { return Bracket<NoWorker>(fake, u"GetCPUName", ErrorPolicy::LogError, work); };
    EXPECT_EQ(call([](NoWorker&) -> String { throw RuntimeError(Err::Overflow); }), u"");
    EXPECT_EQ(call([](NoWorker&) -> String { throw std::bad_alloc(); }), u"");
    EXPECT_EQ(call([](NoWorker&) -> String { throw std::out_of_range("vector"); }), u"");
    EXPECT_EQ(call([](NoWorker&) -> String { return u"x"; }), u"x");
    EXPECT_EQ(fake.Log(), FakeEntry("GetCPUName", "开始") + FakeEntry("GetCPUName", "错误：Overflow") +
                               FakeEntry("GetCPUName", "开始") + FakeEntry("GetCPUName", "错误：Out of memory") +
                               FakeEntry("GetCPUName", "开始") + FakeEntry("GetCPUName", "错误：Internal error: vector") +
                               FakeEntry("GetCPUName", "开始") + FakeEntry("GetCPUName", "结束"));
}

TEST(CpuFacade, UnidentifiableProcessorAnswersEmpty) {
    FakePlatform fake;
    fake.cpu.hasCpuId = false;
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetCPUManufacturer(), u"");
    EXPECT_EQ(tarsin.GetCPUModel(), u"");
    EXPECT_EQ(fake.Log(), FakeEntry("GetCPUManufacturer", "开始") + FakeEntry("GetCPUManufacturer", "结束") +
                               FakeEntry("GetCPUModel", "开始") + FakeEntry("GetCPUModel", "结束"));
}

}  // namespace
}  // namespace velmora
