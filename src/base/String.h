#pragma once
// Text as hosts see it: UTF-16 code units, like an automation BSTR. Lengths and
// positions count UTF-16 units, exactly as a host counts them.
#include <string>
#include <string_view>

namespace velmora {

using String = std::u16string;
using StringView = std::u16string_view;

// ASCII-only widening for literals and numbers built by the component itself.
String FromAscii(std::string_view text);

}  // namespace velmora
