#pragma once
// UTF-8 <-> UTF-16. Malformed input never fails: a bad UTF-8 sequence becomes
// U+FFFD and a lone surrogate becomes U+FFFD on the way out.
#include <string>
#include <string_view>

#include "base/String.h"

namespace velmora {

String Utf8ToUtf16(std::string_view bytes);
// Utf8ToUtf16(bytes) written onto the end of `out`.
void AppendUtf16(String& out, std::string_view bytes);
std::string Utf16ToUtf8(StringView text);
// Utf16ToUtf8(text) written onto the end of `out`.
void AppendUtf8(std::string& out, StringView text);

}  // namespace velmora
