// The installed-program list: clsSoftWare directly and through the facade.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "base/RuntimeError.h"
#include "public/clsTarsin.h"
#include "registry/clsSoftWare.h"

namespace velmora {
namespace {

using testing::FakeEntry;
using testing::FakePlatform;

constexpr char kRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";


struct Program {
    const char* subkey;
    uint32_t type;  // kRegNone: no DisplayName at all
    std::string displayName;
};

TEST(SoftWare, ListsUsableDisplayNamesInEnumerationOrder) {
    const std::string longName(200, 'L'), longestName(199, 'M');
    const struct {
        const char* label;
        std::vector<Program> programs;
        std::vector<String> list;
        String facade;
    } cases[] = {
        {"one without a name between",
         {{"{1}", kRegSz, "A"}, {"{2}", kRegNone, ""}, {"{3}", kRegSz, "B"}},
         {u"", u"A", u"B"},
         u"A|B|"},
        {"duplicates stay", {{"x", kRegSz, "Same"}, {"y", kRegSz, "Same"}}, {u"", u"Same", u"Same"}, u"Same|Same|"},
        {"199 listed, 200 not",
         {{"a", kRegSz, longName}, {"b", kRegSz, longestName}},
         {u"", String(199, u'M')},
         String(199, u'M') + u"|"},
        {"REG_EXPAND_SZ and empty names skipped",
         {{"a", kRegExpandSz, "Expand"}, {"b", kRegSz, ""}, {"c", kRegSz, "软件甲"}},
         {u"", u"软件甲"},
         u"软件甲|"},
        {"no subkeys", {}, {u""}, u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        RegistryKey& root = fake.registry.Key(kRoot);
        for (const auto& p : c.programs) {
            RegistryKey& key = root.Add(p.subkey);
            std::string data = p.displayName;
            data.push_back('\0');
            if (p.type != kRegNone) key.SetValue("DisplayName", p.type, data);
        }
        std::vector<String> list{u"index 0 kept", u"dropped", u"dropped"};
        EXPECT_TRUE(clsSoftWare(fake).GetComputerSoftWare(list)) << c.label;
        std::vector<String> expected = c.list;
        expected[0] = u"index 0 kept";
        EXPECT_EQ(list, expected) << c.label;
        // One yield per subkey and one at the end; a direct call writes no log entries.
        EXPECT_EQ(fake.pendingMessageYields, static_cast<int>(c.programs.size()) + 1) << c.label;
        EXPECT_EQ(fake.Log(), "") << c.label;

        fake.pendingMessageYields = 0;
        EXPECT_EQ(clsTarsin(fake).GetComputerSoftWare(), c.facade) << c.label;
        EXPECT_EQ(fake.pendingMessageYields, static_cast<int>(c.programs.size()) + 3) << c.label;
        EXPECT_EQ(fake.Log(), FakeEntry("GetComputerSoftWare", "开始") + FakeEntry("GetComputerSoftWare", "结束")) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
}

TEST(SoftWare, UnreadableRootTriesThreeTimesThenAnswersEmpty) {
    for (const bool locked : {false, true}) {
        FakePlatform fake;
        if (locked) fake.registry.Key(kRoot).openable = false;
        std::vector<String> list{u"kept", u"dropped"};
        EXPECT_FALSE(clsSoftWare(fake).GetComputerSoftWare(list));
        EXPECT_EQ(list, std::vector<String>{u"kept"});
        fake.registry.opens.clear();
        EXPECT_EQ(clsTarsin(fake).GetComputerSoftWare(), u"");
        EXPECT_EQ(fake.registry.opens, std::vector<std::string>(3, kRoot));
        EXPECT_EQ(fake.Log(), FakeEntry("GetComputerSoftWare", "开始") + FakeEntry("GetComputerSoftWare", "结束"));
    }
}

// Exactly 32,767 entries fill the 16-bit counters and are listed whole; one more
// stops the reader's own listing and the list fails as a whole.
TEST(SoftWare, SixteenBitCountersHoldExactly32767Entries) {
    const auto rootWith = [](FakePlatform& fake, int subkeys) {
        RegistryKey& root = fake.registry.Key(kRoot);
        for (int i = 0; i < subkeys; ++i) root.Add("p" + std::to_string(i)).SetString("DisplayName", "x");
    };
    {
        FakePlatform fake;
        rootWith(fake, 32768);
        try {
            clsTarsin(fake).GetComputerSoftWare();
            ADD_FAILURE() << "32,768 entries must fail the call";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), 6);
        }
        EXPECT_EQ(fake.Log(), FakeEntry("GetComputerSoftWare", "开始"));
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u);
    }
    FakePlatform fake;
    rootWith(fake, 32767);
    std::vector<String> list;
    EXPECT_TRUE(clsSoftWare(fake).GetComputerSoftWare(list));
    EXPECT_EQ(list.size(), 32768u);
    EXPECT_EQ(list.back(), u"x");
}

}  // namespace
}  // namespace velmora
