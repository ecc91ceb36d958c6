// Memory sizes, browser version and computer name on the fake platform, through
// the worker and the facade.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "base/RuntimeError.h"
#include "public/CallBracket.h"
#include "public/clsTarsin.h"
#include "system/clsOperatingSystem.h"

namespace velmora {
namespace {

using testing::FakeEntry;
using testing::FakePlatform;


TEST(Memory, KilobyteTexts) {
    const struct {
        uint64_t bytes;
        const char16_t* separator;
        String answer;
    } cases[] = {
        {536330240, u",", u"523,760KB"},
        {536870911, u",", u"524,287KB"},  // the remainder is dropped, not rounded
        {2147352576, u",", u"2,097,024KB"},
        {3221225472, u",", u"3,145,728KB"},
        {4294967295, u",", u"4,194,303KB"},
        {1023, u",", u"KB"},
        {0, u",", u"KB"},
        {1024, u",", u"1KB"},
        {1024 * 999, u",", u"999KB"},
        {1024 * 1000, u",", u"1,000KB"},
        {1024 * 1000, u".", u"1.000KB"},
        {1024 * 1000, u"\u00A0", u"1\u00A0000KB"},
        {1024 * 1000, u"", u"1000KB"},
        // Beyond 4 GB the 64-bit figures are read; more than nine digits are written in full.
        {uint64_t{25275424768}, u",", u"24,683,032KB"},
        {uint64_t{1} << 40, u",", u"1,073,741,824KB"},
        {UINT64_MAX, u",", u"18,014,398,509,481,983KB"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.thousandsSeparator = c.separator;
        fake.systemInfo.memoryEx.ullTotalPhys = c.bytes;
        fake.systemInfo.memoryEx.ullTotalVirtual = c.bytes;
        clsOperatingSystem os(fake);
        EXPECT_EQ(os.GetPhysicsMemory(), c.answer) << c.bytes;
        EXPECT_EQ(os.GetVirtualMemory(), c.answer) << c.bytes;
    }
}

TEST(Memory, ThirtyTwoBitRecordOnlyWhereTheWideOneIsMissing) {
    FakePlatform fake;
    fake.systemInfo.memoryEx.ullTotalPhys = uint64_t{8} << 30;
    fake.systemInfo.memoryEx.ullTotalVirtual = 2147352576;
    fake.systemInfo.memory.dwTotalPhys = 0xFFFFFFFF;  // what the capped record says of 8 GB
    fake.systemInfo.memory.dwTotalVirtual = 1024 * 1000;
    clsOperatingSystem os(fake);
    EXPECT_EQ(os.GetPhysicsMemory(), u"8,388,608KB");
    EXPECT_EQ(os.GetVirtualMemory(), u"2,097,024KB");
    fake.systemInfo.memoryExMissing = true;
    EXPECT_EQ(os.GetPhysicsMemory(), u"4,194,303KB");
    EXPECT_EQ(os.GetVirtualMemory(), u"1,000KB");
}

TEST(ComputerName, TextBeforeTheFirstNul) {
    const struct {
        std::optional<std::string> name;
        String answer;
    } cases[] = {
        {"PC01", u"PC01"},
        {std::nullopt, u""},
        {"", u""},
        {"工作站", u"工作站"},
        {std::string(254, 'n'), String(254, u'n')},
        {std::string(255, 'n'), u""},  // does not fit the buffer with its terminator: the call fails
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.systemInfo.computerName = c.name;
        EXPECT_EQ(clsOperatingSystem(fake).GetCurrentComputerName(), c.answer);
        EXPECT_EQ(fake.systemInfo.computerNameSizeAsked, 255u);
    }
}

TEST(BrowserVersion, RegistryValueOrFourPointZero) {
    const struct {
        const char* label;
        bool key;
        uint32_t type;
        std::string data;
        String answer;
    } cases[] = {
        {"present", true, kRegSz, std::string("6.0.2900.2180\0", 14), u"6.0.2900.2180"},
        {"empty", true, kRegSz, std::string("\0", 1), u"4.0"},
        {"REG_EXPAND_SZ", true, kRegExpandSz, std::string("6.0\0", 4), u"4.0"},
        {"too long", true, kRegSz, std::string(200, '6') + '\0', u"4.0"},
        {"value absent", true, kRegNone, "", u"4.0"},
        {"key absent", false, kRegNone, "", u"4.0"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        if (c.key) {
            RegistryKey& key = fake.registry.Key("SOFTWARE\\Microsoft\\Internet Explorer");
            if (c.type != kRegNone) key.SetValue("Version", c.type, c.data);
        }
        EXPECT_EQ(clsTarsin(fake).GetIEVersion(), c.answer) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
}

TEST(SystemFacts, FacadeMethodsRunTheBracket) {
    FakePlatform fake;
    fake.systemInfo.memoryEx.ullTotalPhys = 536330240;
    fake.systemInfo.memoryEx.ullTotalVirtual = 2147352576;
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetIEVersion(), u"4.0");
    EXPECT_EQ(tarsin.GetPhysicsMemory(), u"523,760KB");
    EXPECT_EQ(tarsin.GetComputerName(), u"PC01");
    EXPECT_EQ(tarsin.GetVirtualMemory(), u"2,097,024KB");
    fake.systemInfo.computerName.reset();
    EXPECT_EQ(tarsin.GetComputerName(), u"");  // the worker's own trap: an ordinary empty answer
    std::string expected;
    for (const char* name : {"GetIEVersion", "GetPhysicsMemory", "GetComputerName", "GetVirtualMemory",
                             "GetComputerName"})
        expected += FakeEntry(name, "开始") + FakeEntry(name, "结束");
    EXPECT_EQ(fake.Log(), expected);
}

struct FailingWorker {
    explicit FailingWorker(Platform&) {}
    String Work() { throw RuntimeError(Err::OutOfMemory); }
};

TEST(SystemFacts, TrappedBracketSwallowsFailureWithoutEndEntry) {
    FakePlatform fake;
    EXPECT_EQ(Bracket<FailingWorker>(fake, u"GetComputerName", ErrorPolicy::Trap, [](FailingWorker& w) { return w.Work(); }),
              u"");
    EXPECT_EQ(fake.Log(), FakeEntry("GetComputerName", "开始"));
    EXPECT_THROW(Bracket<FailingWorker>(fake, u"GetPhysicsMemory", ErrorPolicy::Propagate, [](FailingWorker& w) { return w.Work(); }),
                 RuntimeError);
}

}  // namespace
}  // namespace velmora
