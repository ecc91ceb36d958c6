#include "cli/Report.h"

#include <algorithm>

#include "cli/Methods.h"
#include "cli/Output.h"
#include "text/Text.h"
#include "text/Utf.h"

namespace velmora::cli {
namespace {

// One line of the report, in the order shown. A list answer (or a text of names each
// followed by "|") is summarised as its count of `one`/`many` unless it is short.
struct Row {
    const char* group;
    const char* label;
    const char* method;
    const char* one = nullptr;
    const char* many = nullptr;
};

constexpr Row kRows[] = {
    {"Processor", "Name", "GetCPUName"},
    {"Processor", "Maker", "GetCPUManufacturer"},
    {"Processor", "Model", "GetCPUModel"},
    {"Memory", "Physical", "GetPhysicsMemory"},
    {"Memory", "Virtual", "GetVirtualMemory"},
    {"Disks", "Serial number", "GetDiskSerialNumber"},
    {"Disks", "Fixed drives", "GetFixdDisk", "fixed drive", "fixed drives"},
    {"Disks", "Summary", "GetComputerDiskInfo"},
    {"Network", "Computer name", "GetComputerName"},
    {"Network", "IP address", "GetComputerIP"},
    {"Network", "Adapter address", "GetInternetCardAddress"},
    {"Sound", "Name", "GetSoundCardName"},
    {"Sound", "Product id", "GetSoundCardId"},
    {"Sound", "Channels", "GetSoundCardChannel"},
    {"Sound", "Formats", "GetSoundCardDwformats"},
    {"Sound", "Capabilities", "GetSoundCardDwsupport"},
    {"System", "Name", "GetOperatingSystemName"},
    {"System", "Version", "GetOperatingSystemVersion"},
    {"System", "Browser", "GetIEVersion"},
    {"Software", "Programs", "GetComputerSoftWare", "installed program", "installed programs"},
    {"Software", "As an array", "clsSoftWare.GetComputerSoftWare", "installed program", "installed programs"},
};

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

std::string ValueText(const Row& row, const Outcome& o) {
    if (!o.ok) return ErrorText(o);
    if (row.many) {
        const auto items = Items(o.answer);
        if (items.size() > kShortList || items.empty())
            return Grouped(items.size()) + " " + (items.size() == 1 ? row.one : row.many);
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
    size_t labelWidth = 0;
    for (const Row& r : kRows) labelWidth = std::max(labelWidth, Width(r.label));
    std::string out;
    for (const Row* row = std::begin(kRows); row != std::end(kRows);) {
        const Row* end = std::find_if(row, std::end(kRows), [&](const Row& r) { return std::string_view(r.group) != row->group; });
        size_t methodWidth = 0;
        for (const Row* r = row; r != end; ++r) methodWidth = std::max(methodWidth, Width(r->method));
        out += std::string(out.empty() ? "" : "\n") + row->group + "\n";
        const size_t indent = 2 + labelWidth + 2 + methodWidth + 2;
        for (; row != end; ++row) {
            const Method* method = FindMethod(row->method);
            const std::string value = method ? ValueText(*row, Call(*method, String())) : "(not available)";
            const auto lines = Wrapped(value, kReportColumns - indent);
            out += "  " + Padded(row->label, labelWidth + 2) + Padded(row->method, methodWidth + 2) + lines[0] + "\n";
            for (size_t i = 1; i < lines.size(); ++i) out += std::string(indent, ' ') + lines[i] + "\n";
        }
    }
    return out;
}

}  // namespace velmora::cli
