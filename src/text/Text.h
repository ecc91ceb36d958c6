#pragma once
// The text routines every worker shares; each exists once, here.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "base/String.h"

namespace velmora {

enum class Compare : int32_t { Binary = 0, Text = 1 };

// One UTF-16 unit folded for the case-insensitive text comparison.
char16_t FoldCase(char16_t c);

// Equal under the case-insensitive text comparison.
bool SameText(StringView a, StringView b);

// The ASCII letter case fold, for names the platform compares so (registry, file,
// host and method names); every other byte compares exactly.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
// Eight bytes at once through AsciiLower: A-Z gain 0x20, every other byte stays.
constexpr uint64_t AsciiLower8(uint64_t w) {
    constexpr uint64_t kHigh = 0x8080808080808080ull, kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const uint64_t atLeastA = (w & kLow7) + 0x3F3F3F3F3F3F3F3Full;  // high bit: byte & 0x7F >= 'A'
    const uint64_t pastZ = (w & kLow7) + 0x2525252525252525ull;     // high bit: byte & 0x7F > 'Z'
    const uint64_t upper = ~w & atLeastA & ~pastZ & kHigh;          // and the byte itself below 0x80
    return w | (upper >> 2);
}
inline bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y && AsciiLower8(x) != AsciiLower8(y)) return false;
    }
    if (i < a.size() && a.size() >= 8) {  // the tail as the last eight bytes, some seen already
        uint64_t x, y;
        std::memcpy(&x, a.data() + a.size() - 8, 8);
        std::memcpy(&y, b.data() + b.size() - 8, 8);
        return x == y || AsciiLower8(x) == AsciiLower8(y);
    }
    for (; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// Position (from 1) of the first occurrence of `search` in `text` at or after
// `start` (from 1), or 0. An empty search matches at `start` when that lies in
// the text or just past its end.
int64_t InStr(int64_t start, StringView text, StringView search, Compare mode);

// `text` without the characters of `lead` at its start and of `trail` at its end:
// the one trim, for the component's texts and for the bytes a backend reads.
template <class Char>
constexpr std::basic_string_view<Char> TrimView(std::basic_string_view<Char> text,
                                                std::type_identity_t<std::basic_string_view<Char>> lead,
                                                std::type_identity_t<std::basic_string_view<Char>> trail) {
    // Plain loops: find_first_not_of searches the set once a character, which costs
    // more than the trim is worth on the million-byte files the readers go through.
    const auto in = [](std::basic_string_view<Char> set, Char c) {
        for (const Char s : set)
            if (s == c) return true;
        return false;
    };
    size_t first = 0, end = text.size();
    while (first < end && in(lead, text[first])) ++first;
    if (first == end) return {};
    while (end > first && in(trail, text[end - 1])) --end;
    return text.substr(first, end - first);
}

// Removes blanks (U+0020 only) from both ends, from the left or from the right.
String Trim(StringView text);
String TrimLeft(StringView text);
String TrimRight(StringView text);

// `value` in decimal digits, `separator` between groups of three counted from the right.
String GroupThousands(uint64_t value, StringView separator);

// Replaces every occurrence of `search`, scanning on after each inserted
// replacement; "^p" as search or replacement stands for CR LF. Compare mode 0 is
// exact, 1 ignores letter case; another mode fails, which leaves the text as it is.
// An empty search text leaves the text unchanged.
String ReplaceAll(StringView text, StringView search, StringView replacement, Compare mode);

// The text before its first NUL; the NUL's position is a 16-bit counter, so a
// first NUL beyond position 32,767 raises Overflow.
String CutAtNull(StringView text);

// Appends "\" unless the last non-blank character already is one; trailing blanks
// are dropped when it appends, leading blanks stay.
void AddDirSep(String& pathName);

}  // namespace velmora
