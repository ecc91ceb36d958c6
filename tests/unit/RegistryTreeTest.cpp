// The in-memory registry that stands in for Windows' on Linux and in the fake:
// the Win32 answers the readers depend on.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeRegistry.h"

namespace velmora {
namespace {

using testing::FakeRegistry;

const RegKey kMachine = RootKey(kHKeyLocalMachine);

TEST(RegistryTree, OpeningKeys) {
    FakeRegistry reg;
    reg.Key("SOFTWARE\\Vendor\\Product");
    reg.Key("SOFTWARE\\Locked").openable = false;
    const struct {
        RegKey root;
        const char* path;
        int32_t status;
    } cases[] = {
        {kMachine, "SOFTWARE\\Vendor\\Product", kErrorSuccess},
        {kMachine, "software\\VENDOR\\product", kErrorSuccess},  // names compare without case
        {kMachine, "SOFTWARE\\Vendor\\", kErrorSuccess},
        {kMachine, "SOFTWARE\\Vendor\\Missing", kErrorFileNotFound},
        {kMachine, "SOFTWARE\\\\Vendor", kErrorFileNotFound},
        {kMachine, "\\SOFTWARE", kErrorBadPathname},
        {kMachine, "SOFTWARE\\Locked", kErrorAccessDenied},
        {RootKey(kHKeyCurrentUser), "SOFTWARE", kErrorFileNotFound},  // each root is a tree of its own
        {RootKey(static_cast<int32_t>(0x80000009u)), "SOFTWARE", kErrorInvalidHandle},
        {0x1234, "SOFTWARE", kErrorInvalidHandle},
    };
    for (const auto& c : cases) {
        RegKey key = 0xDEAD;
        EXPECT_EQ(reg.RegOpenKeyA(c.root, c.path, key), c.status) << c.path;
        if (c.status == kErrorSuccess) EXPECT_EQ(reg.RegCloseKey(key), kErrorSuccess);
        else EXPECT_EQ(key, 0xDEADu) << "a failed open leaves the result alone";
    }
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(RegistryTree, HandlesAndRelativeOpens) {
    FakeRegistry reg;
    reg.Key("A\\B").SetString("v", "x");
    RegKey a = 0, b = 0, same = 0;
    ASSERT_EQ(reg.RegOpenKeyA(kMachine, "A", a), kErrorSuccess);
    ASSERT_EQ(reg.RegOpenKeyA(a, "B", b), kErrorSuccess);
    EXPECT_EQ(reg.RegOpenKeyA(a, "", same), kErrorSuccess);
    EXPECT_EQ(same, a);  // an empty path hands back the very handle
    EXPECT_EQ(reg.OpenHandleCount(), 2u);
    EXPECT_EQ(reg.RegCloseKey(b), kErrorSuccess);
    uint32_t size = 0;
    EXPECT_EQ(reg.RegQueryValueExA(b, "v", nullptr, nullptr, &size), kErrorInvalidHandle);
    EXPECT_EQ(reg.RegCloseKey(b), kErrorInvalidHandle);
    EXPECT_EQ(reg.RegCloseKey(a), kErrorSuccess);
    EXPECT_EQ(reg.RegCloseKey(kMachine), kErrorSuccess);  // closing a root is allowed and changes nothing
}

TEST(RegistryTree, QueryingValues) {
    FakeRegistry reg;
    RegistryKey& key = reg.Key("K");
    key.SetString("Text", "abc");  // 4 bytes with the terminator
    key.SetDword("Number", 0x01020304);
    key.SetValue("", kRegSz, std::string("default\0", 8));
    RegKey k = 0;
    ASSERT_EQ(reg.RegOpenKeyA(kMachine, "K", k), kErrorSuccess);

    const struct {
        const char* name;
        uint32_t bufferSize;  // 0xFFFFFFFF: no buffer, size query only
        int32_t status;
        uint32_t type, sizeAfter;
        const char* bytes;  // expected buffer start, or nullptr when untouched
    } cases[] = {
        {"Text", 0xFFFFFFFF, kErrorSuccess, kRegSz, 4, nullptr},
        {"text", 4, kErrorSuccess, kRegSz, 4, "abc"},
        {"Text", 3, kErrorMoreData, kRegSz, 4, nullptr},  // does not fit with its terminator: nothing copied
        {"Number", 4, kErrorSuccess, kRegDword, 4, "\x04\x03\x02\x01"},
        {"Number", 100, kErrorSuccess, kRegDword, 4, "\x04\x03\x02\x01"},
        {"", 8, kErrorSuccess, kRegSz, 8, "default"},
        {"Missing", 8, kErrorFileNotFound, 0x77, 8, nullptr},
    };
    for (const auto& c : cases) {
        uint8_t buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        uint32_t type = 0x77, size = c.bufferSize == 0xFFFFFFFF ? 0 : c.bufferSize;
        uint8_t* data = c.bufferSize == 0xFFFFFFFF ? nullptr : buffer;
        EXPECT_EQ(reg.RegQueryValueExA(k, c.name, &type, data, &size), c.status) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(size, c.sizeAfter) << c.name;
        if (c.bytes) EXPECT_EQ(std::memcmp(buffer, c.bytes, std::strlen(c.bytes)), 0) << c.name;
        else EXPECT_EQ(buffer[0], '#') << c.name;
    }
    uint8_t buffer[4];
    EXPECT_EQ(reg.RegQueryValueExA(k, "Text", nullptr, buffer, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(reg.RegQueryValueExA(k, nullptr, nullptr, nullptr, nullptr), kErrorSuccess);  // null: the unnamed value
    reg.RegCloseKey(k);
}

TEST(RegistryTree, EnumerationInInsertionOrder) {
    FakeRegistry reg;
    RegistryKey& key = reg.Key("K");
    for (const char* name : {"zeta", "Alpha", "mid"}) key.Add(name);
    key.Add("ALPHA\\deeper");  // an existing subkey is reused, not added again
    key.SetString("b", "1");
    key.SetString("a", "2");
    key.SetString("B", "3");  // replaces "b" in its place
    RegKey k = 0;
    ASSERT_EQ(reg.RegOpenKeyA(kMachine, "K", k), kErrorSuccess);
    auto list = [&](bool subkeys) {
        std::vector<std::string> names;
        for (uint32_t i = 0;; ++i) {
            char name[16];
            uint32_t size = sizeof name;
            const int32_t status = subkeys ? reg.RegEnumKeyExA(k, i, name, size) : reg.RegEnumValueA(k, i, name, size);
            if (status != kErrorSuccess) {
                EXPECT_EQ(status, kErrorNoMoreItems);
                return names;
            }
            EXPECT_EQ(size, std::strlen(name));
            names.push_back(name);
        }
    };
    EXPECT_EQ(list(true), (std::vector<std::string>{"zeta", "Alpha", "mid"}));
    EXPECT_EQ(list(false), (std::vector<std::string>{"b", "a"}));

    char name[5];
    uint32_t size = 4;
    EXPECT_EQ(reg.RegEnumKeyExA(k, 0, name, size), kErrorMoreData);  // "zeta" needs 5 with its NUL
    size = 5;
    EXPECT_EQ(reg.RegEnumKeyExA(k, 0, name, size), kErrorSuccess);
    reg.RegCloseKey(k);
}

// The index grows as subkeys come, one at a time or reserved for a whole source.
TEST(RegistryTree, ManySubkeysFoundWithoutCase) {
    for (const int mode : {0, 1, 2}) {  // on the heap, the same reserved, in a tree's arena
        RegistryTree tree;
        RegistryKey heapKey;
        RegistryKey& key = mode == 2 ? tree.LocalMachine().Add("Uninstall") : heapKey;
        if (mode == 1) key.ReserveSubkeys(1000);
        std::vector<std::string> names;
        for (int i = 0; i < 1000; ++i) names.push_back("Package-" + std::string(i % 13, 'x') + std::to_string(i));
        for (const auto& name : names) ASSERT_NE(key.AddNew(name), nullptr) << name;
        EXPECT_EQ(key.AddNew("PACKAGE-0"), nullptr);  // taken, whatever its case
        EXPECT_EQ(key.AddNew("a\\b"), nullptr);
        EXPECT_EQ(key.AddNew(""), nullptr);
        ASSERT_EQ(key.Subkeys().size(), names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            std::string upper = names[i];
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(key.Find(upper), key.Subkeys()[i]) << upper;
            EXPECT_EQ(&key.Add(upper), key.Subkeys()[i]);
        }
        EXPECT_EQ(key.Find("Package-1000"), nullptr);
        EXPECT_EQ(key.Subkeys().size(), names.size());
        // A value replaced lets its bytes go (on the heap) or leaves them to the arena.
        key.Subkeys()[3]->SetString("Value", "first");
        key.Subkeys()[3]->SetString("VALUE", "second, longer");
        const RegistryValue* value = key.Find(names[3])->FindValue("value");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->data, std::string_view("second, longer\0", 15));
    }
}

// A whole listing at once answers what the calls name by name answer: the same names
// and the same status, however the buffer, the cap or the names end it.
TEST(RegistryTree, ListingAtOnceAsNameByName) {
    FakeRegistry reg;
    RegistryKey& key = reg.Key("K");
    for (const char* name : {"zeta", "Alpha", "mid"}) key.Add(name);
    key.Add(std::string_view("nu\0l", 4));
    key.Add("longer than five");
    key.Add("after");
    for (const char* name : {"b", "a", "c"}) key.SetString(name, "1");
    RegKey k = 0;
    ASSERT_EQ(reg.RegOpenKeyA(kMachine, "K", k), kErrorSuccess);
    const struct {
        RegKey key;
        bool subkeys;
        uint32_t buffer;
        size_t most, before;  // the cap, and how many names the list holds already
    } cases[] = {{k, true, 255, 100, 0},  {k, true, 5, 100, 0},         {k, true, 6, 100, 0},
                 {k, true, 255, 2, 0},    {k, true, 255, 6, 0},         {k, true, 255, 100, 3},
                 {k, true, 0, 100, 0},    {k, false, 255, 100, 0},      {k, false, 255, 3, 0},
                 {k, false, 2, 1, 1},     {0x1234, true, 255, 100, 0},  {kMachine, true, 255, 100, 0}};
    for (const auto& c : cases) {
        RegistryNames atOnce, oneByOne;
        for (size_t i = 0; i < c.before; ++i) atOnce.Add("x"), oneByOne.Add("x");
        const int32_t status = reg.RegEnumNamesA(c.key, c.subkeys, c.buffer, c.most, atOnce);
        EXPECT_EQ(status, reg.IRegistry::RegEnumNamesA(c.key, c.subkeys, c.buffer, c.most, oneByOne));
        ASSERT_EQ(atOnce.Count(), oneByOne.Count()) << c.buffer << " " << c.most;
        for (size_t i = 0; i < atOnce.Count(); ++i) EXPECT_EQ(atOnce.Name(i), oneByOne.Name(i));
    }
    RegistryNames names;
    EXPECT_EQ(reg.RegEnumNamesA(k, true, 255, 100, names), kErrorNoMoreItems);
    EXPECT_EQ(names.Count(), 6u);
    EXPECT_EQ(names.Name(3), "nu");
    reg.RegCloseKey(k);
}

// Subkeys read in any order and any case answer their own values: a reader is expected
// to go in order, and a guess of the same length but other bytes must not stand.
TEST(RegistryTree, SubkeysReadInAnyOrder) {
    FakeRegistry reg;
    for (const char* name : {"ab", "cd", "ef", "gh"}) reg.Key(std::string("U\\") + name).SetString("v", name);
    RegKey u = 0;
    ASSERT_EQ(reg.RegOpenKeyA(kMachine, "U", u), kErrorSuccess);
    std::string got;
    for (const char* name : {"ab", "cd", "gh", "xx", "ab", "ef", "EF", "gh", "cd", "CD"}) {
        char buffer[8] = {};
        uint32_t size = sizeof buffer;
        const int32_t status =
            reg.RegQuerySubkeyValueA(u, name, "v", nullptr, reinterpret_cast<uint8_t*>(buffer), &size, RegView::Own);
        got += status == kErrorSuccess ? std::string(buffer) + " " : "none ";
    }
    EXPECT_EQ(got, "ab cd gh none ab ef ef gh cd cd ");
}

// Pieces of every size and alignment, across blocks: each aligned, none over another.
TEST(Arena, PiecesAlignedAndApart) {
    Arena arena;
    const struct {
        size_t size, align;
    } asks[] = {{1, 1}, {7, 8}, {3, 1}, {100000, 16}, {16, 16}, {65536, 8}, {5, 4}, {300000, 1}, {24, 8}};
    std::vector<std::pair<unsigned char*, size_t>> pieces;
    for (size_t i = 0; i < std::size(asks); ++i) {
        auto* piece = static_cast<unsigned char*>(arena.Take(asks[i].size, asks[i].align));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(piece) % asks[i].align, 0u) << i;
        std::memset(piece, static_cast<int>(i + 1), asks[i].size);
        pieces.emplace_back(piece, asks[i].size);
    }
    for (size_t i = 0; i < pieces.size(); ++i)
        for (size_t k = 0; k < pieces[i].second; ++k) ASSERT_EQ(pieces[i].first[k], i + 1) << i << " at " << k;
}

TEST(RegistryTree, HandleKeepsTheTreeItWasOpenedOn) {
    auto first = std::make_shared<RegistryTree>();
    first->LocalMachine().Add("K").SetString("v", "old");
    std::shared_ptr<const RegistryTree> current = first;
    TreeRegistry reg([&] { return current; });
    RegKey k = 0;
    ASSERT_EQ(reg.RegOpenKeyA(kMachine, "K", k), kErrorSuccess);
    auto second = std::make_shared<RegistryTree>();
    current = second;
    first.reset();
    char buffer[8] = {};
    uint32_t size = sizeof buffer;
    EXPECT_EQ(reg.RegQueryValueExA(k, "v", nullptr, reinterpret_cast<uint8_t*>(buffer), &size), kErrorSuccess);
    EXPECT_STREQ(buffer, "old");
    RegKey again = 0;
    EXPECT_EQ(reg.RegOpenKeyA(kMachine, "K", again), kErrorFileNotFound);  // new opens see the new tree
    reg.RegCloseKey(k);
}

}  // namespace
}  // namespace velmora
