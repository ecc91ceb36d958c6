#include <gtest/gtest.h>

#include <string_view>

#include "FakePlatform.h"
#include "base/RuntimeError.h"
#include "system/clsOperatingSystem.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakePlatform;
using namespace std::string_view_literals;

const String kProdSpec = u"C:\\WINNT\\system32\\prodspec.ini";

struct EditionCase {
    uint32_t platformId, major, minor;
    const char16_t* expected;
};

TEST(OperatingSystemName, EditionTable) {
    const EditionCase cases[] = {
        {1, 4, 90, u"Windows 98"}, {1, 4, 10, u"Windows 98"}, {1, 4, 0, u"Windows 95"},
        {1, 5, 0, u"Windows 98"},  {1, 3, 95, u"Windows 95"}, {2, 3, 51, u"Windows NT"},
        {2, 4, 0, u"Windows NT"},  {2, 5, 0, u"Windows 2000 Professional"},
        {2, 5, 1, u"Windows XP Professional"}, {2, 5, 2, u"Windows 2003 Server"},
        {2, 5, 3, u""},            {2, 6, 0, u""}, {2, 10, 0, u""},
        {0, 4, 0, u""},            {3, 5, 1, u""}, {kPlatformLinux, 6, 1, u""},
        // Fields are read as signed numbers: a huge major is negative, so "below 4".
        {1, 0x80000000u, 0, u"Windows 95"}, {2, 0xFFFFFFFFu, 7, u"Windows NT"},
        {1, 4, 0xFFFFFFFFu, u"Windows 95"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.SetVersion(c.platformId, c.major, c.minor);
        EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), String(c.expected))
            << c.platformId << " " << c.major << "." << c.minor;
    }
}

TEST(OperatingSystemName, FailedVersionCallIsEmpty) {
    FakePlatform fake;
    fake.SetVersion(2, 5, 1);
    fake.versionExFails = true;
    EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), u"");
}

struct ProductCase {
    const char* file;  // nullptr: no file
    bool hidden;
    const char16_t* expected;
};

TEST(OperatingSystemName, Windows2000ProductFile) {
    const ProductCase cases[] = {
        {nullptr, false, u"Windows 2000 Professional"},
        {"[Product]\r\nProduct=Windows 2000 Server\r\n", false, u"Windows 2000 Server"},
        {"[x]\r\n  product=Windows 2000 Advanced Server  \r\n", false, u"Windows 2000 Advanced Server"},
        {"OldProduct=A\r\nProduct=B\r\n", false, u"OldA"},
        {"Product=\r\n", false, u"Windows 2000 Professional"},
        {"Product=Windows 2000 Server\r\n", true, u"Windows 2000 Professional"},  // hidden: not read
        {"[x]\r\nVersion=5\r\n", false, u"Windows 2000 Professional"},
        {"Product=A\rProduct=B", false, u"A"},            // a lone CR ends a line too
        {"X=1\nProduct=Lf\r\n", false, u"X=1\nLf"},        // a lone LF stays inside the line
        {"Product=A Product=B", false, u"A B"},            // every marker removed, inner blank kept
        {"", false, u"Windows 2000 Professional"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.SetVersion(2, 5, 0);
        if (c.file) fake.files[kProdSpec] = {c.file, c.hidden};
        EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), String(c.expected))
            << (c.file ? c.file : "(no file)");
    }
}

TEST(OperatingSystemName, UnreadableOrHugeProductFileFallsBackOrEmpties) {
    FakePlatform fake;
    fake.SetVersion(2, 5, 0);
    fake.files[kProdSpec] = {"Product=X", false, false, true};
    EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), u"Windows 2000 Professional");

    // A separator beyond position 32,767 overflows the split: the whole answer is empty,
    // not the fallback.
    fake.files[kProdSpec] = {std::string(40000, 'x') + "\r\nProduct=Y", false};
    EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), u"");

    // A long last line after the product line is fine: no position beyond the limit is kept.
    fake.files[kProdSpec] = {"Product=Z\r\n" + std::string(40000, 'x'), false};
    EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), u"Z");
}

TEST(OperatingSystemName, OtherPlatformsAnswerTheirOwnName) {
    const struct {
        uint32_t platformId;
        std::string_view ownName;
        const char16_t* expected;
    } cases[] = {
        {kPlatformLinux, "Debian GNU/Linux 12 (bookworm)", u"Debian GNU/Linux 12 (bookworm)"},
        {kPlatformLinux, "cut\0here"sv, u"cut"},
        {kPlatformLinux, "", u""},
        {2, "Linux", u"Windows XP Professional"},  // Windows answers its own table
        {0, "Linux", u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.SetVersion(c.platformId, 5, 1);
        fake.ownSystemName = c.ownName;
        EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), String(c.expected)) << c.ownName;
    }
}

TEST(OperatingSystemName, SystemDirectoryFailures) {
    FakePlatform fake;
    fake.SetVersion(2, 5, 0);
    fake.systemDirectory = std::nullopt;
    EXPECT_EQ(clsOperatingSystem(fake).GetSystemDir(), u"");
    EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemName(), u"Windows 2000 Professional");

    fake.systemDirectory = "C:\\";
    EXPECT_EQ(clsOperatingSystem(fake).GetSystemDir(), u"C:\\");
    fake.systemDirectory = std::string(300, 'd');  // does not fit: the buffer stays blanks
    EXPECT_EQ(clsOperatingSystem(fake).GetSystemDir(), u"\\");
}

std::vector<String> Split(StringView text, StringView separator = u"\r\n") {
    std::vector<String> pieces = {u"zero"};
    SplitText(text, pieces, separator);
    return pieces;
}

TEST(SplitText, Pieces) {
    EXPECT_EQ(Split(u"a\r\nb\r\n"), (std::vector<String>{u"zero", u"a", u"b", u""}));
    EXPECT_EQ(Split(u""), (std::vector<String>{u"zero", u""}));
    EXPECT_EQ(Split(u"  a  \r\n b"), (std::vector<String>{u"zero", u"a", u"b"}));
    EXPECT_EQ(Split(u"\ta\t"), (std::vector<String>{u"zero", u"\ta\t"}));  // blanks only
    EXPECT_EQ(Split(u"a,,b", u","), (std::vector<String>{u"zero", u"a", u"", u"b"}));
}

TEST(SplitText, SixteenBitLimits) {
    auto overflows = [](const String& text, StringView separator) {
        std::vector<String> pieces;
        try {
            SplitText(text, pieces, separator);
        } catch (const RuntimeError& e) {
            return e.Number() == 6;
        }
        return false;
    };
    EXPECT_TRUE(overflows(String(32767, u'x') + u",", u","));   // separator beyond 32,767
    EXPECT_TRUE(overflows(String(32766, u'x') + u",", u","));   // the next piece would start at 32,768
    EXPECT_FALSE(overflows(String(32765, u'x') + u",", u","));
    EXPECT_TRUE(overflows(String(32766, u'x') + u",y", u","));
    EXPECT_FALSE(overflows(String(32765, u'x') + u",y", u","));
    EXPECT_TRUE(overflows(String(32767, u','), u","));          // 32,768 pieces
    EXPECT_FALSE(overflows(String(32766, u','), u","));
    EXPECT_TRUE(overflows(u"abc", u""));                        // an empty separator ends by overflow
}

TEST(OperatingSystemVersion, FormatsWithUserSeparator) {
    const struct {
        uint32_t major, minor;
        const char* separator;
        const char16_t* expected;
    } cases[] = {
        {5, 1, ".", u"5.01"}, {4, 10, ".", u"4.10"}, {4, 0, ".", u"4.00"}, {4, 90, ".", u"4.90"},
        {6, 0, ".", u"6.00"}, {5, 1, ",", u"5,01"}, {0, 0, ".", u"0.00"}, {255, 255, ".", u"257.55"},
        {5, 1, "::", u"5::01"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.SetVersion(2, c.major, c.minor);
        fake.versionWord |= 0xABCD0000u;  // the upper half is not used
        fake.decimalSeparator = Utf8ToUtf16(c.separator);
        EXPECT_EQ(clsOperatingSystem(fake).GetOperatingSystemVersion(), String(c.expected));
    }
}

}  // namespace
}  // namespace velmora
