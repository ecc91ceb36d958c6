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
        // A subkey is read by its name as the code page turns it into text and back: a
        // byte that is no character there names no key.
        {"names beyond ASCII",
         {{"\xE8\xBD\xAF\xE4\xBB\xB6", kRegSz, "U"}, {"\xFFx", kRegSz, "X"}, {"long-name-\xFFx", kRegSz, "Y"},
          {"package-\xC3\xA9", kRegSz, "E"}},
         {u"", u"U", u"E"},
         u"U|E|"},
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
// listed first, each name read in the view that listed it; a view whose root cannot
// be read adds nothing, and only when neither can is the list unreadable.
TEST(SoftWare, TwoViewsListThe64BitViewFirst) {
    const struct {
        const char* label;
        bool locked64, root32;  // the 64-bit root refuses opening; the 32-bit view has a root
        std::vector<String> list;
        int yields;
    } cases[] = {
        {"both views", false, true, {u"", u"Sixty-Four", u"Alpha", u"Thirty-Two", u"Alpha"}, 6},
        {"no 32-bit root", false, false, {u"", u"Sixty-Four", u"Alpha"}, 3},
        {"unreadable 64-bit root", true, true, {u"", u"Thirty-Two", u"Alpha"}, 4},
        {"neither", true, false, {u""}, 0},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        RegistryKey& root64 = fake.registry.Key(kRoot);
        root64.Add("Shared").SetString("DisplayName", "Sixty-Four");
        root64.Add("A").SetString("DisplayName", "Alpha");
        root64.openable = !c.locked64;
        RegistryKey& root32 = fake.registry.Key32(c.root32 ? kRoot : "SOFTWARE\\Other");
        root32.Add("Shared").SetString("DisplayName", "Thirty-Two");
        root32.Add("B").SetString("DisplayName", "Alpha");
        root32.Add("C");
        std::vector<String> list;
        EXPECT_EQ(clsSoftWare(fake).GetComputerSoftWare(list), c.list.size() > 1) << c.label;
        EXPECT_EQ(list, c.list) << c.label;
        EXPECT_EQ(fake.pendingMessageYields, c.yields) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
}

// The 16-bit counters index the subkeys of both views together, named or not: more
// than 32,767 fail before any name is read.
TEST(SoftWare, SixteenBitCountersSpanBothViews) {
    for (const int wow32 : {16383, 16384}) {
        FakePlatform fake;
        RegistryKey& root64 = fake.registry.Key(kRoot);
        for (int i = 0; i < 16384; ++i) root64.Add("p" + std::to_string(i)).SetString("DisplayName", "x");
        RegistryKey& root32 = fake.registry.Key32(kRoot);
        for (int i = 1; i < wow32; ++i) root32.Add("q" + std::to_string(i));
        root32.Add("last").SetString("DisplayName", "y");
        std::vector<String> list;
        if (wow32 == 16383) {
            EXPECT_TRUE(clsSoftWare(fake).GetComputerSoftWare(list));
            EXPECT_EQ(list.size(), 16386u);
            EXPECT_EQ(list.back(), u"y");
            continue;
        }
        try {
            clsSoftWare(fake).GetComputerSoftWare(list);
            ADD_FAILURE() << "32,768 subkeys over both views must fail the call";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), 6);
        }
        EXPECT_EQ(fake.registry.opens, std::vector<std::string>(2, kRoot)) << "only the roots opened";
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u);
    }
}

}  // namespace
}  // namespace velmora
