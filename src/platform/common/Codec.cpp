#include "platform/Codec.h"

#include "text/Text.h"

namespace velmora {

// Any code page: the whole buffer converted, then cut, since a lead byte before the
// NUL may take it into its sequence.
void ICodec::AppendAnsiTextUpToNull(std::string_view bytes, String& out) { out += CutAtNull(AnsiToString(bytes)); }

String ICodec::AnsiTextUpToNull(std::string_view bytes) {
    String text;
    AppendAnsiTextUpToNull(bytes, text);
    return text;
}

void ICodec::StringToAnsiInto(StringView text, std::string& ansi) { ansi = StringToAnsi(text); }

}  // namespace velmora
