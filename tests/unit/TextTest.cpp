#include <gtest/gtest.h>

#include "base/RuntimeError.h"
#include "cli/Output.h"
#include "text/Text.h"
#include "text/Utf.h"

namespace velmora {
namespace {

struct ReplaceCase {
    const char16_t* text;
    const char16_t* search;
    const char16_t* replacement;
    int32_t mode;
    const char16_t* expected;
};

TEST(ReplaceAll, Cases) {
    const ReplaceCase cases[] = {
        {u"a0b0", u"0", u"", 1, u"ab"},
        {u"a", u"a", u"aa", 0, u"aa"},          // the inserted text is not searched again
        {u"ABC", u"b", u"x", 1, u"AxC"},
        {u"ABC", u"b", u"x", 0, u"ABC"},
        {u"x\r\ny", u"^p", u" ", 0, u"x y"},    // ^p is CR LF ...
        {u"x^py", u"^p", u" ", 0, u"x^py"},     // ... and never the two characters
        {u"x y", u" ", u"^p", 0, u"x\r\ny"},
        {u"x^P", u"^P", u"-", 0, u"x-"},        // only the exact "^p" is special
        {u"abc", u"", u"x", 0, u"abc"},         // empty search: unchanged
        {u"", u"a", u"b", 1, u""},
        {u"aaaa", u"aa", u"a", 0, u"aa"},
        {u"Product=Product=X", u"product=", u"", 1, u"X"},
        {u"ÄÖ Ü", u"äö", u"-", 1, u"- Ü"},      // case folding beyond ASCII
        {u"abc", u"b", u"x", 2, u"abc"},        // an unknown mode fails: text as it stands
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceAll(c.text, c.search, c.replacement, static_cast<Compare>(c.mode)), String(c.expected))
            << "text " << Utf16ToUtf8(c.text) << " search " << Utf16ToUtf8(c.search);
    }
}

TEST(ReplaceAll, LongTextIsLinearNotQuadratic) {
    const String text(1 << 20, u'a');
    EXPECT_EQ(ReplaceAll(text, u"a", u"bb", Compare::Binary).size(), text.size() * 2);
}

TEST(CutAtNull, CutsAtFirstNulAndOverflowsPast16Bits) {
    EXPECT_EQ(CutAtNull(String(u"ab\0cd\0", 6)), u"ab");
    EXPECT_EQ(CutAtNull(u"abc"), u"abc");
    EXPECT_EQ(CutAtNull(String(u"\0x", 2)), u"");
    String atLimit(32766, u'x');
    atLimit.push_back(u'\0');
    EXPECT_EQ(CutAtNull(atLimit).size(), 32766u);
    String beyond(32767, u'x');
    beyond.push_back(u'\0');
    try {
        CutAtNull(beyond);
        ADD_FAILURE() << "expected Overflow";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 6);
    }
    EXPECT_EQ(CutAtNull(String(40000, u'y')).size(), 40000u);  // no NUL: no position kept
}

TEST(AddDirSep, Cases) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"C:\\WINNT  ", u"C:\\WINNT\\"},
        {u"C:\\", u"C:\\"},
        {u"", u"\\"},
        {u"  C:\\x", u"  C:\\x\\"},       // leading blanks stay
        {u"C:\\x\\  ", u"C:\\x\\  "},     // already ends in one: untouched, blanks too
        {u"   ", u"\\"},
    };
    for (const auto& [in, out] : cases) {
        String path = in;
        AddDirSep(path);
        EXPECT_EQ(path, String(out)) << Utf16ToUtf8(in);
    }
}

TEST(Trim, OnlyBlanks) {
    EXPECT_EQ(Trim(u"  a b  "), u"a b");
    EXPECT_EQ(Trim(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(TrimLeft(u"  a "), u"a ");
    EXPECT_EQ(TrimRight(u" a  "), u" a");
}

// Names compare eight bytes at a time: every byte value, in every place of a word.
TEST(SameIgnoringAsciiCase, EveryByteInEveryPlace) {
    for (int value = 0; value < 256; ++value) {
        for (size_t at = 0; at < 9; ++at) {
            std::string a = "Uninstall", b = "uNINSTALL";
            a[at] = static_cast<char>(value);
            b[at] = AsciiLower(static_cast<char>(value));
            EXPECT_TRUE(SameIgnoringAsciiCase(a, b)) << value << " at " << at;
            b[at] = static_cast<char>(value ^ 0x40);
            EXPECT_EQ(SameIgnoringAsciiCase(a, b), AsciiLower(a[at]) == AsciiLower(b[at])) << value << " at " << at;
        }
    }
}

TEST(InStr, PositionsFromOneAndStart) {
    EXPECT_EQ(InStr(1, u"abcabc", u"c", Compare::Binary), 3);
    EXPECT_EQ(InStr(4, u"abcabc", u"c", Compare::Binary), 6);
    EXPECT_EQ(InStr(7, u"abcabc", u"c", Compare::Binary), 0);
    EXPECT_EQ(InStr(1, u"abc", u"B", Compare::Binary), 0);
    EXPECT_EQ(InStr(1, u"abc", u"B", Compare::Text), 2);
    EXPECT_EQ(InStr(99, u"abc", u"a", Compare::Text), 0);
    EXPECT_EQ(InStr(1, u"Name默认", u"默认", Compare::Text), 5);
    EXPECT_EQ(InStr(1, u"x\u00C9", u"\u00E9", Compare::Text), 2);  // folded on both sides
}

// Plain text goes across in blocks of eight: what must be escaped on every side of a block.
TEST(JsonString, EscapesWhereverTheyFall) {
    const struct {
        String text;
        std::string json;
    } cases[] = {
        {u"", "\"\""},
        {u"abcdefgh", "\"abcdefgh\""},
        {u"\"abcdefgh", "\"\\\"abcdefgh\""},
        {u"abcdefg\\h", "\"abcdefg\\\\h\""},
        {u"abcdefgh\tij", "\"abcdefgh\\tij\""},
        {u"abcdefghijklmno\x1F", "\"abcdefghijklmno\\u001f\""},
        {u"abcdefghijklmnop\n\"", "\"abcdefghijklmnop\\n\\\"\""},
        {u"abcdefgh\u00E9\u4E2D\U0001F600 ", "\"abcdefgh\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80 \""},
    };
    for (const auto& c : cases) {
        std::string out = "x";  // onto text already there, as the listing writes it
        cli::AppendJsonString(out, c.text);
        EXPECT_EQ(out, "x" + c.json) << c.json;
    }
}

TEST(Utf, RoundTripAndMalformedInput) {
    const String text = u"开始 Dovrell \U0001F600";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf16ToUtf8(u"开始"), "\xE5\xBC\x80\xE5\xA7\x8B");
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xE5\xBC"), u"\uFFFD\uFFFD");        // truncated sequence
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");        // overlong form
    EXPECT_EQ(Utf16ToUtf8(String(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), String(u"a\0b", 3));
}

// ASCII goes across in blocks of eight: sequences and faults on every side of a block.
TEST(Utf, SequencesAroundAsciiBlocks) {
    const struct {
        std::string utf8;
        String utf16;
        bool roundTrip;
    } cases[] = {
        {"abcdefgh", u"abcdefgh", true},
        {"abcdefghi\xC3\xA9", u"abcdefghi\u00E9", true},
        {"1234567\xE4\xB8\xAD" "abcdefgh12", u"1234567\u4E2Dabcdefgh12", true},
        {"\xF0\x9F\x98\x80" "abcdefghij", u"\U0001F600abcdefghij", true},
        {"abcdefgh\xFFxyz", u"abcdefgh\uFFFDxyz", false},
        {"abcdefghijklmno\xE4\xB8", u"abcdefghijklmno\uFFFD\uFFFD", false},
        {std::string("abcdefg\0hijklmnop\0\0\0\0\0\0\0\0", 25), String(u"abcdefg\0hijklmnop\0\0\0\0\0\0\0\0", 25), true},
        {"abcdefghijklmnop\xC3\xA9" "abcdefghijklmnopq", u"abcdefghijklmnop\u00E9abcdefghijklmnopq", true},
        {"abcdefghijklmno\xE4\xB8\xAD" "abcdefghijklmnop", u"abcdefghijklmno\u4E2Dabcdefghijklmnop", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        if (c.roundTrip) {
            EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
        }
    }
    EXPECT_EQ(Utf16ToUtf8(String(u"abcdefghij") + char16_t(0xDC00) + u"k"), "abcdefghij\xEF\xBF\xBDk");
}

}  // namespace
}  // namespace velmora
