#include "cli/Output.h"

#include <cmath>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/Utf.h"

namespace velmora::cli {
namespace {

bool NeedsEscape(char16_t c) { return c == u'"' || c == u'\\' || c < 0x20; }

// The first unit at or after `from` that JSON must escape, or the text's size.
size_t NextEscape(StringView text, size_t from) {
    size_t i = from;
#if defined(__SSE2__)
    // Eight units at a time: most text has nothing to escape.
    const __m128i quote = _mm_set1_epi16(u'"'), backslash = _mm_set1_epi16(u'\\');
    const __m128i control = _mm_set1_epi16(static_cast<short>(0xFFE0)), zero = _mm_setzero_si128();
    const auto hits = [&](size_t at) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, quote), _mm_cmpeq_epi16(units, backslash)),
                                              _mm_cmpeq_epi16(_mm_and_si128(units, control), zero)));
    };
    for (; i + 8 <= text.size(); i += 8)
        if (hits(i) != 0) break;
    // The last few: the last eight again, those before `i` already known plain.
    if (i < text.size() && i + 8 > text.size() && text.size() >= from + 8 && hits(text.size() - 8) == 0)
        return text.size();
#endif
    while (i < text.size() && !NeedsEscape(text[i])) ++i;
    return i;
}

std::string NumberText(double value) {
    if (!std::isfinite(value)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", value);
    return buf;
}

struct TextVisitor {
    std::string operator()(const String& s) const { return Utf16ToUtf8(s); }
    std::string operator()(double d) const { return NumberText(d); }
    std::string operator()(int32_t n) const { return std::to_string(n); }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(const std::vector<String>& list) const {
        std::string out;
        for (size_t i = 1; i < list.size(); ++i) out += Utf16ToUtf8(list[i]) + (i + 1 < list.size() ? "\n" : "");
        return out;
    }
};

// Writes an answer's JSON at the end of `out`: a list of thousands of names is not
// made apart and copied in.
struct JsonVisitor {
    std::string& out;
    void operator()(const String& s) const { AppendJsonString(out, s); }
    void operator()(double d) const { out += NumberText(d); }
    void operator()(int32_t n) const { out += std::to_string(n); }
    void operator()(bool b) const { out += b ? "true" : "false"; }
    void operator()(const std::vector<String>& list) const {
        out += '[';
        for (size_t i = 1; i < list.size(); ++i) {
            if (i > 1) out += ", ";
            AppendJsonString(out, list[i]);
        }
        out += ']';
    }
};

}  // namespace

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void AppendJsonString(std::string& out, StringView text) {
    out += '"';
    // Plain characters go across together, up to the next that must be escaped.
    for (size_t i = NextEscape(text, 0), plain = 0;; i = NextEscape(text, plain)) {
        if (i > plain) AppendUtf8(out, text.substr(plain, i - plain));
        if (i == text.size()) break;
        const char16_t c = text[i];
        plain = i + 1;
        switch (c) {
            case u'"': out += "\\\""; break;
            case u'\\': out += "\\\\"; break;
            case u'\n': out += "\\n"; break;
            case u'\r': out += "\\r"; break;
            case u'\t': out += "\\t"; break;
            default: {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                out += buf;
            }
        }
    }
    out += '"';
}

std::string JsonString(StringView text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

void AppendAnswerAsJson(std::string& out, const Answer& answer) { std::visit(JsonVisitor{out}, answer); }

std::string AnswerAsText(const Answer& answer) { return std::visit(TextVisitor{}, answer); }

std::string ErrorText(const Outcome& outcome) {
    return "error " + std::to_string(outcome.number) + ": " + Utf16ToUtf8(outcome.description);
}

std::string ListingLine(std::string_view name, const Answer& answer) {
    std::string text = AnswerAsText(answer);
    if (const auto* s = std::get_if<String>(&answer); s && s->empty()) text = "(empty)";
    if (const auto* list = std::get_if<std::vector<String>>(&answer)) {
        text.clear();
        for (size_t i = 1; i < list->size(); ++i) text += (i > 1 ? " | " : "") + Utf16ToUtf8((*list)[i]);
        if (list->size() <= 1) text = "(none)";
    }
    return std::string(name) + ": " + text;
}

}  // namespace velmora::cli
