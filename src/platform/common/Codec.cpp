#include "platform/Codec.h"

#include "text/Text.h"

namespace velmora {

// Any code page: the whole buffer converted, then cut, since a lead byte before the
// NUL may take it into its sequence.
String ICodec::AnsiTextUpToNull(std::string_view bytes) { return CutAtNull(AnsiToString(bytes)); }

void ICodec::StringToAnsiInto(StringView text, std::string& ansi) { ansi = StringToAnsi(text); }

}  // namespace velmora
