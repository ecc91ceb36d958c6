#pragma once
// modPublic's registry helpers: one value of any of three types as text, and
// the cut at the first NUL that goes with it.
#include <cstdint>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

// The value's text: REG_SZ up to its first NUL, REG_DWORD as signed decimal,
// REG_BINARY as upper-case hex bytes each followed by a blank. Anything else,
// and every failure, gives the empty string.
String GetRegValue(Platform& platform, int32_t rootKey, const String& keyPath, const String& valueName);

// The text before its first NUL, or the whole text. Yields to the host once per
// scanned character; its position counter is 16-bit (Overflow past 32,767).
String TrimNull(Platform& platform, const String& text);

}  // namespace velmora
