#pragma once
// The text routines every worker shares; each exists once, here.
#include <cstdint>

#include "base/String.h"

namespace velmora {

enum class Compare : int32_t { Binary = 0, Text = 1 };

// One UTF-16 unit folded for the case-insensitive text comparison.
char16_t FoldCase(char16_t c);

// Position (from 1) of the first occurrence of `search` in `text` at or after
// `start` (from 1), or 0. An empty search matches at `start` when that lies in
// the text or just past its end.
int64_t InStr(int64_t start, StringView text, StringView search, Compare mode);

// Removes blanks (U+0020 only) from both ends, from the left or from the right.
String Trim(StringView text);
String TrimLeft(StringView text);
String TrimRight(StringView text);

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
