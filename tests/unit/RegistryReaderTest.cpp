// RegeditCls, GetRegValue and TrimNull on the fake registry: the limits and
// quirks a user of their answers meets.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "base/RuntimeError.h"
#include "registry/GetRegValue.h"
#include "registry/RegeditCls.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakePlatform;

constexpr char kKey[] = "SOFTWARE\\Velmora";
const String kKeyText = u"SOFTWARE\\Velmora";

struct Stored {
    uint32_t type;
    std::string data;
};
Stored Sz(const std::string& text) { return {kRegSz, text + '\0'}; }

TEST(RegeditCls, GetRegStrValueLimits) {
    const struct {
        const char* label;
        Stored value;
        String answer;
    } cases[] = {
        {"199 characters", Sz(std::string(199, 'x')), String(199, u'x')},
        {"200 characters", Sz(std::string(200, 'x')), u""},
        {"cut at the first NUL", {kRegSz, std::string("ab\0cd\0", 6)}, u"ab"},
        {"no terminator", {kRegSz, "abc"}, u"abc"},
        {"ANSI text", Sz("软件"), u"软件"},
        {"REG_EXPAND_SZ", {kRegExpandSz, std::string("%SystemRoot%\0", 13)}, u""},
        {"REG_MULTI_SZ", {kRegMultiSz, std::string("a\0b\0\0", 5)}, u""},
        {"REG_DWORD", {kRegDword, std::string("\7\0\0\0", 4)}, u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.registry.Key(kKey).SetValue("Item", c.value.type, c.value.data);
        EXPECT_EQ(RegeditCls(fake).GetRegStrValue(kHKeyLocalMachine, kKeyText, u"Item"), c.answer) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
    FakePlatform fake;
    fake.registry.Key(kKey);
    RegeditCls reader(fake);
    EXPECT_EQ(reader.GetRegStrValue(kHKeyLocalMachine, kKeyText, u"Missing"), u"");
    EXPECT_EQ(reader.GetRegStrValue(kHKeyLocalMachine, u"SOFTWARE\\Missing", u"Item"), u"");
    EXPECT_EQ(reader.GetRegStrValue(kHKeyLocalMachine, String(u"SOFTWARE\0Velmora", 16), u"Item"), u"");
    EXPECT_EQ(fake.registry.OpenHandleCount(), 0u);
}

// A name holding "默认" reads the key's unnamed value through a buffer of blanks.
TEST(RegeditCls, UnnamedValueRule) {
    const struct {
        const char* label;
        std::optional<Stored> unnamed;
        String item, keyStr, answer;
    } cases[] = {
        {"plain text", Sz("plain text"), u"默认", u"vb", u"plain text"},
        {"marker anywhere in the name", Sz("plain"), u"x默认y", u"vb", u"plain"},
        {"with \\vb: cut at the first blank", Sz("C:\\Program Files\\VB\\x y"), u"默认", u"vb", u"C:\\Program"},
        // Without blanks the cut falls after the terminator, which comes along.
        {"with \\vb, no blank: keeps its NUL", Sz("C:\\vb\\tool"), u"默认", u"vb", String(u"C:\\vb\\tool\0", 11)},
        {"other strKeyStr", Sz("C:\\vb\\tool"), u"默认", u"bin", u"C:\\vb\\tool"},
        {"with \\vb filling the buffer: no blank at all", Sz("\\vb" + std::string(196, 'x')), u"默认", u"vb", u""},
        {"not REG_SZ", Stored{kRegExpandSz, std::string("x\0", 2)}, u"默认", u"vb", u""},
        {"too long", Sz(std::string(200, 'x')), u"默认", u"vb", u""},
        {"no unnamed value", std::nullopt, u"默认", u"vb", u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        RegistryKey& key = fake.registry.Key(kKey);
        key.SetString("默认", "the named value is never read");
        if (c.unnamed) key.SetValue("", c.unnamed->type, c.unnamed->data);
        EXPECT_EQ(RegeditCls(fake).GetRegStrValue(kHKeyLocalMachine, kKeyText, c.item, c.keyStr), c.answer) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
}

TEST(RegeditCls, GetRegNumValue) {
    const struct {
        const char* label;
        Stored value;
        int32_t answer;
    } cases[] = {
        {"REG_DWORD 7", {kRegDword, std::string("\x07\0\0\0", 4)}, 7},
        {"FF FF FF FF", {kRegDword, "\xFF\xFF\xFF\xFF"}, -1},
        {"big-endian, not swapped", {kRegDwordBigEndian, std::string("\0\0\0\x01", 4)}, 0x01000000},
        {"two bytes", {kRegDword, std::string("\x07\0", 2)}, 7},
        {"eight bytes do not fit", {kRegDword, std::string("\x07\0\0\0\0\0\0\0", 8)}, 0},
        {"REG_SZ", Sz("7"), 0},
        {"REG_BINARY", {kRegBinary, std::string("\x07\0\0\0", 4)}, 0},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.registry.Key(kKey).SetValue("N", c.value.type, c.value.data);
        EXPECT_EQ(RegeditCls(fake).GetRegNumValue(kHKeyLocalMachine, kKeyText, u"N"), c.answer) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
    FakePlatform fake;
    EXPECT_EQ(RegeditCls(fake).GetRegNumValue(kHKeyLocalMachine, kKeyText, u"N"), 0);
}

TEST(RegeditCls, EnumerationsKeepIndexZero) {
    FakePlatform fake;
    RegistryKey& key = fake.registry.Key(kKey);
    for (const char* name : {"A", "B", "C"}) key.Add(name);
    key.Add("C\\Deeper");
    key.SetString("", "unnamed");
    key.SetDword("Count", 3);
    fake.registry.Key("SOFTWARE\\Empty");
    RegeditCls reader(fake);

    std::vector<String> names{u"kept", u"old"};
    EXPECT_TRUE(reader.EnumKeyEx(kHKeyLocalMachine, kKeyText, names));
    EXPECT_EQ(names, (std::vector<String>{u"kept", u"A", u"B", u"C"}));
    EXPECT_TRUE(reader.EnumKeyValue(kHKeyLocalMachine, kKeyText, names));
    EXPECT_EQ(names, (std::vector<String>{u"kept", u"", u"Count"}));

    EXPECT_TRUE(reader.EnumKeyEx(kHKeyLocalMachine, u"SOFTWARE\\Empty", names));
    EXPECT_EQ(names, std::vector<String>{u"kept"});
    names = {u"kept", u"old"};
    EXPECT_FALSE(reader.EnumKeyEx(kHKeyLocalMachine, u"SOFTWARE\\Missing", names));
    EXPECT_EQ(names, std::vector<String>{u"kept"});
    std::vector<String> fresh;
    EXPECT_FALSE(reader.EnumKeyValue(kHKeyLocalMachine, u"SOFTWARE\\Missing", fresh));
    EXPECT_EQ(fresh, std::vector<String>{u""});
    EXPECT_EQ(fake.registry.OpenHandleCount(), 0u);
}

TEST(RegeditCls, NameTooLongForTheBufferEndsTheListing) {
    FakePlatform fake;
    RegistryKey& key = fake.registry.Key(kKey);
    key.Add("first");
    key.Add(std::string(254, 'k'));  // fits with its terminator
    key.Add(std::string(255, 'l'));  // does not
    key.Add("after");
    key.SetString(std::string(255, 'v'), "x");
    key.SetString("later", "y");
    RegeditCls reader(fake);
    std::vector<String> names;
    EXPECT_TRUE(reader.EnumKeyEx(kHKeyLocalMachine, kKeyText, names));
    EXPECT_EQ(names, (std::vector<String>{u"", u"first", String(254, u'k')}));
    EXPECT_TRUE(reader.EnumKeyValue(kHKeyLocalMachine, kKeyText, names));
    EXPECT_EQ(names, std::vector<String>{u""});
}

TEST(RegeditCls, ListingBeyondSixteenBitCounter) {
    for (const int subkeys : {32767, 32768}) {
        FakePlatform fake;
        RegistryKey& key = fake.registry.Key(kKey);
        for (int i = 0; i < subkeys; ++i) key.Add(std::to_string(i));
        std::vector<String> names;
        // 32,767 names fit the counter; one more stops the listing with what it has.
        EXPECT_EQ(RegeditCls(fake).EnumKeyEx(kHKeyLocalMachine, kKeyText, names), subkeys == 32767) << subkeys;
        ASSERT_EQ(names.size(), 32768u) << subkeys;
        EXPECT_EQ(names[32767], u"32766");
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u);
    }
}

TEST(GetRegValue, TextsByType) {
    const struct {
        const char* label;
        Stored value;
        String answer;
    } cases[] = {
        {"REG_SZ", Sz("Intel(R) Pentium(R) 4 CPU 2.40GHz"), u"Intel(R) Pentium(R) 4 CPU 2.40GHz"},
        {"REG_SZ cut at NUL", {kRegSz, std::string("ab\0cd", 5)}, u"ab"},
        {"REG_SZ empty", {kRegSz, ""}, u""},
        {"REG_DWORD 7", {kRegDword, std::string("\x07\0\0\0", 4)}, u"7"},
        {"REG_DWORD FF FF FF FF", {kRegDword, "\xFF\xFF\xFF\xFF"}, u"-1"},
        {"REG_DWORD 2^31", {kRegDword, std::string("\0\0\0\x80", 4)}, u"-2147483648"},
        {"REG_DWORD of 8 bytes", {kRegDword, std::string(8, '\1')}, u""},
        {"REG_BINARY 01 02", {kRegBinary, "\x01\x02"}, u"1 2 "},
        {"REG_BINARY 0A FF 00", {kRegBinary, std::string("\x0A\xFF\x00", 3)}, u"A FF 0 "},
        {"REG_BINARY empty", {kRegBinary, ""}, u""},
        {"REG_EXPAND_SZ", {kRegExpandSz, std::string("x\0", 2)}, u""},
        {"REG_DWORD_BIG_ENDIAN", {kRegDwordBigEndian, std::string("\0\0\0\7", 4)}, u""},
        {"REG_SZ of 32,767 bytes", Sz(std::string(32766, 'a')), String(32766, u'a')},
        {"REG_SZ of 32,768 bytes", Sz(std::string(32767, 'a')), u""},
        {"REG_BINARY of 32,769 bytes", {kRegBinary, std::string(32769, '\x11')}, u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.registry.Key(kKey).SetValue("V", c.value.type, c.value.data);
        EXPECT_EQ(GetRegValue(fake, kHKeyLocalMachine, kKeyText, u"V"), c.answer) << c.label;
        EXPECT_EQ(fake.registry.OpenHandleCount(), 0u) << c.label;
    }
    FakePlatform fake;
    fake.registry.Key(kKey).SetValue("V", kRegBinary, std::string(32768, '\x11'));
    const String bytes = GetRegValue(fake, kHKeyLocalMachine, kKeyText, u"V");
    EXPECT_EQ(bytes.size(), 32768u * 3);
    EXPECT_EQ(bytes.substr(bytes.size() - 3), u"11 ");
    EXPECT_EQ(GetRegValue(fake, kHKeyLocalMachine, kKeyText, u"Missing"), u"");
    EXPECT_EQ(GetRegValue(fake, kHKeyLocalMachine, u"SOFTWARE\\Missing", u"V"), u"");
}

TEST(GetRegValue, TrimNullYieldsPerCharacterWithSixteenBitPosition) {
    FakePlatform fake;
    EXPECT_EQ(TrimNull(fake, String(u"ab\0cd", 5)), u"ab");
    EXPECT_EQ(fake.pendingMessageYields, 3);  // a, b and the NUL
    EXPECT_EQ(TrimNull(fake, u"abc"), u"abc");
    EXPECT_EQ(TrimNull(fake, String(32767, u'x')), String(32767, u'x'));
    try {
        TrimNull(fake, String(32768, u'x'));
        ADD_FAILURE() << "a text beyond the 16-bit position must fail";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 6);
    }
}

}  // namespace
}  // namespace velmora
