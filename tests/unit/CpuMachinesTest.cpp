// Records dumped from real processors with `velmora cpu --dump`, decoded on the fake
// processor and held against what the machine's own tools said about it.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "FakePlatform.h"
#include "cpu/clsCpuInfo.h"

namespace velmora {
namespace {

using testing::FakePlatform;

void LoadDump(testing::FakeCpu& cpu, const std::string& dump) {
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned leaf = 0, eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (line.empty() || line[0] == '#') continue;
        ASSERT_EQ(std::sscanf(line.c_str(), "%x %x %x %x %x", &leaf, &eax, &ebx, &ecx, &edx), 5) << line;
        cpu.SetLeaf(leaf, eax, ebx, ecx, edx);
    }
}

// A 2-core KVM guest on a Xeon of family 6, model 207 (0xCF), stepping 2; taken on
// the guest's second processor. lscpu: "Intel(R) Xeon(R) Processor", address sizes
// 48 bits physical and 57 virtual, L2 4 MiB in 2 instances, cpuid level 28.
const char kXeonKvmGuest[] = R"(# leaf eax ebx ecx edx, hexadecimal
00000000 0000001C 756E6547 6C65746E 49656E69
00000001 000C06F2 01020800 FFFA3203 1F8BFBFF
00000002 00FEFF01 000000F0 00000000 00000000
00000003 00000000 00000000 00000000 00000000
80000000 80000021 00000000 00000000 00000000
80000001 00000000 00000000 00000121 2C100800
80000002 65746E49 2952286C 6F655820 2952286E
80000003 6F725020 73736563 0000726F 00000000
80000004 00000000 00000000 00000000 00000000
80000005 00000000 00000000 00000000 00000000
80000006 00000000 00000000 08007040 00000000
80000007 00000000 00000000 00000000 00000100
80000008 00303930 00000000 00000000 00000000
)";

TEST(CpuMachines, XeonKvmGuest) {
    FakePlatform fake;
    LoadDump(fake.cpu, kXeonKvmGuest);
    clsCpuInfo info(fake);
    EXPECT_EQ(info.LevelsStd(), 28);
    EXPECT_EQ(info.ManufacturerStr(), u"Intel");
    // lscpu's model 207 is the model field 15 with the extended model 12 above it.
    EXPECT_EQ(info.CpuFamily(true), 6);
    EXPECT_EQ(info.CpuModel(true), 15);
    EXPECT_EQ(info.CpuModelEx(true), 12);
    EXPECT_EQ(info.CpuStepping(true), 2);
    EXPECT_EQ(info.CpuModelStr(true), u" - Extended model #C");
    EXPECT_EQ(info.CpuFamilyStr(true), u"P6, P2, P3, PM");
    EXPECT_EQ(info.CpuBrandStr(true), u"");  // brand index 0 with the CLFLUSH size above it
    EXPECT_EQ(info.NameStr(), u"Intel(R) Xeon(R) Processor" + String(22, u'\0'));
    EXPECT_EQ(info.ApicID(), 1);
    EXPECT_EQ(info.CpuLogicalCount(), std::optional<int32_t>(2));
    EXPECT_EQ(info.xAddrBitsPhysical(), 48);
    EXPECT_EQ(info.xAddrBitsVirtual(), 57);
    EXPECT_EQ(info.xCache(24), 2048);  // 2 MiB of L2 per core
    EXPECT_EQ(info.xCache(27), 64);
    EXPECT_EQ(info.xCacheAssocStr(info.xCache(25)), u"");  // code 7 has no text
    EXPECT_EQ(info.CacheDescriptors(), (std::vector<uint8_t>{0xFE, 0xFF, 0xF0}));
    EXPECT_TRUE(info.Feature(32 + 25));  // sse
    EXPECT_TRUE(info.Feature(64 + 29));  // lm
    EXPECT_TRUE(info.xPowerManagement(8));  // invariant time-stamp counter
    EXPECT_EQ(info.SnStatus(), 1);
}

}  // namespace
}  // namespace velmora
