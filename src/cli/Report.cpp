#include "cli/Report.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "cli/Methods.h"
#include "cli/Output.h"
#include "text/Text.h"
#include "text/Utf.h"

namespace velmora::cli {
namespace {

// The groups' headings, in ReportGroup's order.
constexpr std::string_view kGroupNames[] = {"Processor", "Memory", "Disks", "Network", "Sound", "System", "Software"};
static_assert(std::size(kGroupNames) == static_cast<size_t>(ReportGroup::NotShown), "one heading per group");

// The methods the report shows, in the order shown: by group, then by place in it.
std::vector<const Method*> Shown() {
    std::vector<const Method*> shown;
    for (const Method& method : Methods())
        if (method.report.group != ReportGroup::NotShown) shown.push_back(&method);
    std::sort(shown.begin(), shown.end(), [](const Method* a, const Method* b) {
        return std::pair(a->report.group, a->report.place) < std::pair(b->report.group, b->report.place);
    });
    return shown;
}

constexpr size_t kShortList = 4;  // lists this long or shorter are shown whole

std::string Grouped(size_t count) { return Utf16ToUtf8(GroupThousands(count, u",")); }

// The items of a list answer, or of a text whose items each end in "|".
std::vector<std::string> Items(const Answer& answer) {
    std::vector<std::string> items;
    if (const auto* list = std::get_if<std::vector<String>>(&answer)) {
        for (size_t i = 1; i < list->size(); ++i) items.push_back(Utf16ToUtf8((*list)[i]));
    } else if (const auto* text = std::get_if<String>(&answer)) {
        const std::string all = Utf16ToUtf8(*text);
        for (size_t start = 0, bar; (bar = all.find('|', start)) != std::string::npos; start = bar + 1)
            items.push_back(all.substr(start, bar - start));
    }
    return items;
}

// A list answer (or a text of names each followed by "|") is summarised as its count
// of items unless it is short.
std::string ValueText(const ReportLine& line, const Outcome& o) {
    if (!o.ok) return ErrorText(o);
    if (!line.listItem.empty()) {
        const auto items = Items(o.answer);
        if (items.size() > kShortList || items.empty())
            return Grouped(items.size()) + " " + std::string(line.listItem) + (items.size() == 1 ? "" : "s");
        std::string joined;
        for (const auto& item : items) joined += (joined.empty() ? "" : ", ") + item;
        return joined;
    }
    const std::string text = AnswerAsText(o.answer);
    return text.empty() ? "(empty)" : text;
}

// Columns a text takes: one per UTF-8 character.
size_t Width(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The byte at which column `column` of `text` starts (its size if it is narrower).
size_t ByteOfColumn(std::string_view text, size_t column) {
    for (size_t i = 0, columns = 0; i < text.size(); ++i)
        if ((text[i] & 0xC0) != 0x80 && columns++ == column) return i;
    return text.size();
}

// `text` cut into lines of at most `width` columns, after a blank or "|" where one is near.
std::vector<std::string> Wrapped(std::string_view text, size_t width) {
    std::vector<std::string> lines;
    while (Width(text) > width) {
        const size_t limit = ByteOfColumn(text, width);
        const size_t at = text.substr(0, limit).find_last_of(" |");
        const size_t cut = at != std::string_view::npos && at >= limit / 2 ? at + 1 : limit;
        std::string_view line = text.substr(0, cut);
        while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
        lines.emplace_back(line);
        text.remove_prefix(cut);
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    }
    lines.emplace_back(text);
    return lines;
}

std::string Padded(std::string text, size_t width) { return text + std::string(width - std::min(width, Width(text)), ' '); }

}  // namespace

std::string Report() {
    const std::vector<const Method*> shown = Shown();
    size_t labelWidth = 0;
    for (const Method* m : shown) labelWidth = std::max(labelWidth, Width(m->report.label));
    std::string out;
    for (auto row = shown.begin(); row != shown.end();) {
        const ReportGroup group = (*row)->report.group;
        const auto end = std::find_if(row, shown.end(), [&](const Method* m) { return m->report.group != group; });
        size_t methodWidth = 0;
        for (auto m = row; m != end; ++m) methodWidth = std::max(methodWidth, Width((*m)->name));
        out += std::string(out.empty() ? "" : "\n") + std::string(kGroupNames[static_cast<size_t>(group)]) + "\n";
        const size_t indent = 2 + labelWidth + 2 + methodWidth + 2;
        for (; row != end; ++row) {
            const Method& method = **row;
            const auto lines = Wrapped(ValueText(method.report, Call(method, String())), kReportColumns - indent);
            out += "  " + Padded(std::string(method.report.label), labelWidth + 2) + Padded(method.name, methodWidth + 2) +
                   lines[0] + "\n";
            for (size_t i = 1; i < lines.size(); ++i) out += std::string(indent, ' ') + lines[i] + "\n";
        }
    }
    return out;
}

}  // namespace velmora::cli
