#pragma once
// The one conversion point between the platform's ANSI texts and String: the
// ANSI code page on Windows, UTF-8 on Linux.
#include <string>
#include <string_view>

#include "base/String.h"

namespace velmora {

class ICodec {
public:
    virtual ~ICodec() = default;
    virtual String AnsiToString(std::string_view bytes) = 0;
    // A filled buffer's text, up to its first NUL: CutAtNull(AnsiToString(bytes)).
    // A code page whose NUL cannot end a sequence may stop converting there.
    String AnsiTextUpToNull(std::string_view bytes);
    // The same text written onto the end of `out`, so that many texts make one String
    // without one of their own each. When it raises, `out` may hold part of the text.
    virtual void AppendAnsiTextUpToNull(std::string_view bytes, String& out);
    // Characters the code page lacks become its default character ("?").
    virtual std::string StringToAnsi(StringView text) = 0;
    // StringToAnsi(text) into `ansi`, whose storage a caller may keep for the next.
    virtual void StringToAnsiInto(StringView text, std::string& ansi);
};

}  // namespace velmora
