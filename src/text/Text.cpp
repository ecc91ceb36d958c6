#include "text/Text.h"

#include <algorithm>
#include <string>

#include "base/Int16.h"

namespace velmora {

char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;       // Latin-1 letters
    if (c >= 0x391 && c <= 0x3A9) return c + 0x20;                  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;                  // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;                // full-width Latin
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        const bool oddLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddLower ? (c & 1) : !(c & 1)) return c + 1;            // Latin Extended-A pairs
    }
    return c;
}

bool SameText(StringView a, StringView b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

int64_t InStr(int64_t start, StringView text, StringView search, Compare mode) {
    if (start < 1) return 0;
    const auto from = static_cast<size_t>(start - 1);
    if (from > text.size()) return 0;
    if (mode == Compare::Binary) {
        const auto at = text.find(search, from);
        return at == StringView::npos ? 0 : static_cast<int64_t>(at) + 1;
    }
    if (search.size() > text.size()) return 0;
    const auto fold = [](char16_t c) -> char16_t {
        if (c < 0x80) return c >= u'A' && c <= u'Z' ? c + 0x20 : c;
        return FoldCase(c);
    };
    // The search folded once, not at every position tried; short ones on the stack.
    char16_t shortFolded[16];
    String longFolded;
    char16_t* folded = shortFolded;
    if (search.size() > std::size(shortFolded)) {
        longFolded.resize(search.size());
        folded = longFolded.data();
    }
    for (size_t k = 0; k < search.size(); ++k) folded[k] = fold(search[k]);
    // No fold crosses between ASCII and the rest, so a search that starts beyond ASCII
    // can only start where the text does.
    const bool wideFirst = !search.empty() && folded[0] >= 0x80;
    for (size_t at = from; at + search.size() <= text.size(); ++at) {
        if (wideFirst && text[at] < 0x80) continue;
        size_t k = 0;
        while (k < search.size() && fold(text[at + k]) == folded[k]) ++k;
        if (k == search.size()) return static_cast<int64_t>(at) + 1;
    }
    return 0;
}

String TrimLeft(StringView text) { return String(TrimView(text, u" ", u"")); }

String TrimRight(StringView text) { return String(TrimView(text, u"", u" ")); }

String Trim(StringView text) { return String(TrimView(text, u" ", u" ")); }

String GroupThousands(uint64_t value, StringView separator) {
    const std::string digits = std::to_string(value);
    String text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += separator;
        text += static_cast<char16_t>(digits[i]);
    }
    return text;
}

namespace {

constexpr StringView kParagraphMark = u"^p";
constexpr StringView kCrLf = u"\r\n";

StringView ExpandParagraph(StringView s) { return s == kParagraphMark ? kCrLf : s; }

}  // namespace

String ReplaceAll(StringView text, StringView search, StringView replacement, Compare mode) {
    // A mode that is neither comparison fails, and a failure answers the text as it is.
    if (mode != Compare::Binary && mode != Compare::Text) return String(text);
    search = ExpandParagraph(search);
    replacement = ExpandParagraph(replacement);
    if (search.empty()) return String(text);
    // Resuming after each inserted replacement is the same as one left-to-right pass
    // over the original text, so the result is built once instead of re-copied per hit.
    String out;
    size_t done = 0;
    try {
        for (int64_t at = InStr(1, text, search, mode); at != 0;
             at = InStr(static_cast<int64_t>(done) + 1, text, search, mode)) {
            String step(text.substr(done, static_cast<size_t>(at - 1) - done));
            step.append(replacement);
            out.append(step);
            done = static_cast<size_t>(at - 1) + search.size();
        }
    } catch (const std::exception&) {
        // A failure on the way (no memory for a grown text) answers the text as it
        // stands then: replaced up to there, the rest as it was.
    }
    out.append(text.substr(done));
    return out;
}

String CutAtNull(StringView text) {
    const auto at = text.find(u'\0');
    if (at == StringView::npos) return String(text);
    // The position of the NUL is a 16-bit counter: a text that needs more fails.
    if (!FitsInt16(static_cast<int64_t>(at) + 1)) Raise(Err::Overflow);
    return String(text.substr(0, at));
}

void AddDirSep(String& pathName) {
    const String trimmed = Trim(pathName);
    if (!trimmed.empty() && trimmed.back() == u'\\') return;
    pathName = TrimRight(pathName) + u'\\';
}

}  // namespace velmora
