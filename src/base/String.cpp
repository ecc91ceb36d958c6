#include "base/String.h"

namespace velmora {

String FromAscii(std::string_view text) {
    String out;
    out.reserve(text.size());
    for (unsigned char c : text) out.push_back(static_cast<char16_t>(c));
    return out;
}

}  // namespace velmora
