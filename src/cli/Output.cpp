#include "cli/Output.h"

#include <cmath>
#include <cstdio>

#include "text/Utf.h"

namespace velmora::cli {
namespace {

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

struct JsonVisitor {
    std::string operator()(const String& s) const { return JsonString(s); }
    std::string operator()(double d) const { return NumberText(d); }
    std::string operator()(int32_t n) const { return std::to_string(n); }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(const std::vector<String>& list) const {
        std::string out = "[";
        for (size_t i = 1; i < list.size(); ++i) {
            if (i > 1) out += ", ";
            AppendJsonString(out, list[i]);
        }
        return out + "]";
    }
};

}  // namespace

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void AppendJsonString(std::string& out, StringView text) {
    out += '"';
    size_t plain = 0;  // the start of the run not yet written: plain characters go across together
    const auto flush = [&](size_t end) {
        if (end > plain) AppendUtf8(out, text.substr(plain, end - plain));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != u'"' && c != u'\\' && c >= 0x20) continue;
        flush(i);
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
    flush(text.size());
    out += '"';
}

std::string JsonString(StringView text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

std::string AnswerAsJson(const Answer& answer) { return std::visit(JsonVisitor{}, answer); }

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
