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

// A 64-bit machine: the fake's second tree is the 32-bit view. The 64-bit view is
// listed first, each subkey's name read in the view that listed it.
TEST(SoftWare, TwoViewsListThe64BitViewFirst) {
    const struct {
        const char* label;
        std::vector<Program> wide64, wow32;
        bool locked64, root32;  // the 64-bit root refuses opening; the 32-bit view has a root
        std::vector<String> list;
    } cases[] = {
        {"both views, duplicates kept",
         {{"Shared", kRegSz, "Sixty-Four"}, {"A", kRegSz, "Alpha"}},
         {{"Shared", kRegSz, "Thirty-Two"}, {"B", kRegSz, "Alpha"}, {"C", kRegNone, ""}},
         false, true, {u"", u"Sixty-Four", u"Alpha", u"Thirty-Two", u"Alpha"}},
        {"no 32-bit root", {{"A", kRegSz, "Alpha"}}, {}, false, false, {u"", u"Alpha"}},
        {"unreadable 64-bit root", {{"A", kRegSz, "Alpha"}}, {{"B", kRegSz, "Beta"}}, true, true, {u"", u"Beta"}},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        const auto fill = [](RegistryKey& root, const std::vector<Program>& programs) {
            for (const auto& p : programs)
                if (p.type == kRegNone) root.Add(p.subkey);
                else root.Add(p.subkey).SetString("DisplayName", p.displayName);
        };
        fill(fake.registry.Key(kRoot), c.wide64);
        fake.registry.Key(kRoot).openable = !c.locked64;
        fill(c.root32 ? fake.registry.Key32(kRoot) : fake.registry.Key32("SOFTWARE"), c.wow32);
        std::vector<String> list;
        EXPECT_TRUE(clsSoftWare(fake).GetComputerSoftWare(list)) << c.label;
        EXPECT_EQ(list, c.list) << c.label;
        const size_t listed = (c.locked64 ? 0 : c.wide64.size()) + c.wow32.size();
        EXPECT_EQ(fake.pendingMessageYields, static_cast<int>(listed) + 1) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
    FakePlatform neither;
    neither.registry.Key(kRoot).openable = false;
    neither.registry.Key32("SOFTWARE");
    std::vector<String> list;
    EXPECT_FALSE(clsSoftWare(neither).GetComputerSoftWare(list));
}

// The 16-bit counters index the subkeys of both views together: more than 32,767
// fail before any name is read, however few of them carry a name.
TEST(SoftWare, SixteenBitCountersSpanBothViews) {
    const struct {
        int wide64, wow32;
        bool named32;
        bool overflows;
    } cases[] = {{16384, 16383, true, false}, {16384, 16384, true, true}, {16384, 16384, false, true}};
    for (const auto& c : cases) {
        FakePlatform fake;
        RegistryKey& root64 = fake.registry.Key(kRoot);
        for (int i = 0; i < c.wide64; ++i) root64.Add("p" + std::to_string(i)).SetString("DisplayName", "x");
        RegistryKey& root32 = fake.registry.Key32(kRoot);
        for (int i = 0; i < c.wow32; ++i) {
            RegistryKey& key = root32.Add("q" + std::to_string(i));
            if (c.named32) key.SetString("DisplayName", "y");
        }
        const std::string label = std::to_string(c.wide64) + "+" + std::to_string(c.wow32);
        std::vector<String> list;
        if (!c.overflows) {
            EXPECT_TRUE(clsSoftWare(fake).GetComputerSoftWare(list)) << label;
            ASSERT_EQ(list.size(), 32768u) << label;
            EXPECT_EQ(list[16384], u"x");
            EXPECT_EQ(list[16385], u"y");
            continue;
        }
        try {
            clsSoftWare(fake).GetComputerSoftWare(list);
            ADD_FAILURE() << label << " must fail the call";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), 6) << label;
        }
        EXPECT_EQ(fake.registry.opens, std::vector<std::string>(2, kRoot)) << label << ": only the roots opened";
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << label;
    }
}

}  // namespace
}  // namespace velmora
