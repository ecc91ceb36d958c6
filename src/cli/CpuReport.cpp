#include "cli/CpuReport.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <thread>

#include "base/RuntimeError.h"
#include "cli/Output.h"
#include "cpu/clsCpuInfo.h"
#include "text/Utf.h"

namespace velmora::cli {
namespace {

constexpr size_t kMaxLeavesFileBytes = 1 << 20;  // a record is 13 short lines; refuse anything huge
constexpr auto kClockInterval = std::chrono::milliseconds(100);
constexpr int kFeatureCount = 96;
constexpr int kPowerFlagCount = 32;
constexpr int kCacheFieldCount = 28;
constexpr int kAssocCodeCount = 256;

using Record = CpuRegs[clsCpuInfo::kRecordLeafCount];

// One line of the report: its JSON value and its text for people.
struct Entry {
    const char* key;
    std::string json;
    std::string text;
};

std::string Num(int64_t n) { return std::to_string(n); }
std::string Bool(bool b) { return b ? "true" : "false"; }
std::string Hex8(uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

Entry Plain(const char* key, std::string value) { return {key, value, value}; }

// An operation that takes `Standard`: its answer for true and for false.
Entry Pair(const char* key, const std::string& standard, const std::string& extended) {
    return {key, "{\"standard\": " + standard + ", \"extended\": " + extended + "}",
            "standard " + standard + ", extended " + extended};
}

// The answers of a flag operation for 0..count-1: a JSON list, and the numbers set.
template <class Ask>
Entry Flags(const char* key, int count, Ask&& ask) {
    std::string json = "[", text;
    for (int n = 0; n < count; ++n) {
        const bool set = ask(n);
        json += (n ? ", " : "") + Bool(set);
        if (set) text += (text.empty() ? "" : " ") + Num(n);
    }
    return {key, json + "]", text.empty() ? "(none set)" : "set: " + text};
}

Entry Descriptors(clsCpuInfo& info) {
    std::string json = "[", text;
    for (const uint8_t byte : info.CacheDescriptors()) {
        json += (json.size() > 1 ? ", " : "") + Num(byte);
        text += (text.empty() ? "" : " ") + Hex8(byte).substr(6);
    }
    return {"CacheDescriptors", json + "]", text.empty() ? "(none)" : text};
}

Entry CacheFields(clsCpuInfo& info) {
    std::string list = "[";
    for (int field = 0; field < kCacheFieldCount; ++field) list += (field ? ", " : "") + Num(info.xCache(field));
    return Plain("xCache", list + "]");
}

Entry AssocTexts(clsCpuInfo& info) {
    std::string object = "{";
    for (int code = 0; code < kAssocCodeCount; ++code) {
        const String text = info.xCacheAssocStr(code);
        if (text.empty()) continue;
        object += (object.size() > 1 ? ", " : "") + JsonString(Utf8ToUtf16(Num(code))) + ": " + JsonString(text);
    }
    return Plain("xCacheAssocStr", object + "}");
}

// Every operation that takes no argument or only `Standard`, in the class's order.
std::vector<Entry> Describe(clsCpuInfo& info) {
    auto text = [](const String& s) { return JsonString(s); };
    const auto count = info.CpuLogicalCount();
    return {
        Plain("ApicID", Num(info.ApicID())),
        Descriptors(info),
        Pair("CpuBrand", Num(info.CpuBrand(true)), Num(info.CpuBrand(false))),
        Pair("CpuBrandStr", text(info.CpuBrandStr(true)), text(info.CpuBrandStr(false))),
        Plain("CpuLogicalCount", count ? Num(*count) : "null"),
        Pair("CpuFamily", Num(info.CpuFamily(true)), Num(info.CpuFamily(false))),
        Pair("CpuFamilyEx", Num(info.CpuFamilyEx(true)), Num(info.CpuFamilyEx(false))),
        Pair("CpuFamilyStr", text(info.CpuFamilyStr(true)), text(info.CpuFamilyStr(false))),
        Pair("CpuModel", Num(info.CpuModel(true)), Num(info.CpuModel(false))),
        Pair("CpuModelEx", Num(info.CpuModelEx(true)), Num(info.CpuModelEx(false))),
        Pair("CpuModelStr", text(info.CpuModelStr(true)), text(info.CpuModelStr(false))),
        Pair("CpuStepping", Num(info.CpuStepping(true)), Num(info.CpuStepping(false))),
        Plain("CpuType", Num(info.CpuType())),
        Plain("CpuTypeStr", text(info.CpuTypeStr())),
        Plain("Extended", Bool(info.Extended())),
        Flags("Feature", kFeatureCount, [&](int n) { return info.Feature(n); }),
        Plain("LevelsExt", Num(info.LevelsExt())),
        Plain("LevelsStd", Num(info.LevelsStd())),
        Plain("NameStr", text(info.NameStr())),
        Plain("ManufacturerStr", text(info.ManufacturerStr())),
        Plain("SnStatus", Num(info.SnStatus())),
        Plain("SnStr", text(info.SnStr())),
        Plain("Supported", Bool(info.Supported())),
        Plain("Vendor", Num(info.Vendor())),
        Pair("VendorIdStr", text(info.VendorIdStr(true)), text(info.VendorIdStr(false))),
        Plain("xAddrBitsPhysical", Num(info.xAddrBitsPhysical())),
        Plain("xAddrBitsVirtual", Num(info.xAddrBitsVirtual())),
        CacheFields(info),
        AssocTexts(info),
        Flags("xPowerManagement", kPowerFlagCount, [&](int n) { return info.xPowerManagement(n); }),
    };
}

std::string AsJson(const std::vector<Entry>& entries) {
    std::string out = "{";
    for (const auto& entry : entries)
        out += std::string(out.size() > 1 ? ",\n  " : "\n  ") + "\"" + entry.key + "\": " + entry.json;
    return out + "\n}\n";
}

std::string AsText(const std::vector<Entry>& entries) {
    std::string out;
    for (const auto& entry : entries) {
        char key[32];
        std::snprintf(key, sizeof key, "%-19s", (std::string(entry.key) + ":").c_str());
        out += key + entry.text + "\n";
    }
    return out;
}

// The processor's clock over a short interval, measured the way BenchStop counts.
std::string ClockLine(clsCpuInfo& info) {
    try {
        double seconds = 0;
        Currency cycles = 0;
        info.BenchStart();
        std::this_thread::sleep_for(kClockInterval);
        info.BenchStop(seconds, cycles);
        const double count = static_cast<double>(cycles) / 10000.0;  // the currency value
        char line[160];
        std::snprintf(line, sizeof line, "Clock:             %.1f MHz (%.0f cycles in %.4f s)\n",
                      seconds > 0 ? count / seconds / 1e6 : 0.0, count, seconds);
        return line;
    } catch (...) {
        // The clock is the report's last line: a failure to time it is shown there, and the rest stands.
        const HostError e = ErrorFromException(std::current_exception());
        return "Clock:             error " + Num(e.number) + ": " + Utf16ToUtf8(e.description) + "\n";
    }
}

std::string Dump(clsCpuInfo& info) {
    std::string out = "# leaf eax ebx ecx edx, hexadecimal\n";
    for (int nReg = 0; nReg < clsCpuInfo::kRecordLeafCount; ++nReg) {
        uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
        info.LevelGet(nReg, eax, ebx, ecx, edx);
        out += Hex8(clsCpuInfo::LeafOfReg(nReg)) + " " + Hex8(eax) + " " + Hex8(ebx) + " " + Hex8(ecx) + " " +
               Hex8(edx) + "\n";
    }
    return out;
}

// 1 to 8 hexadecimal digits, nothing else.
std::optional<uint32_t> ParseHex(std::string_view word) {
    if (word.empty() || word.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (const char c : word) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                              : (c | 0x20) - 'a' + 10);
    }
    return value;
}

std::optional<int> RegOfLeaf(uint32_t leaf) {
    for (int nReg = 0; nReg < clsCpuInfo::kRecordLeafCount; ++nReg)
        if (clsCpuInfo::LeafOfReg(nReg) == leaf) return nReg;
    return std::nullopt;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Fills `record` from a --dump text, or names the first line it cannot use. A leaf
// the text does not give stays zeros; nothing is kept from a text with a bad line.
bool ParseLeaves(std::string_view bytes, Record& record, std::string& problem) {
    Record parsed{};
    int firstLine[clsCpuInfo::kRecordLeafCount] = {};
    int number = 0;
    while (!bytes.empty()) {
        ++number;
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto words = Words(line);
        if (words.empty() || words[0][0] == '#') continue;
        const std::string where = "line " + Num(number) + ": ";
        std::optional<uint32_t> values[5];
        bool wellFormed = words.size() == 5;
        for (size_t w = 0; wellFormed && w < 5; ++w) wellFormed = (values[w] = ParseHex(words[w])).has_value();
        if (!wellFormed) {
            problem = where + "expected a leaf number and eax, ebx, ecx, edx, each as 8 hexadecimal digits";
            return false;
        }
        const auto nReg = RegOfLeaf(*values[0]);
        if (!nReg) {
            problem = where + "leaf " + Hex8(*values[0]) + " is not one of the recorded leaves (0-3, 80000000-80000008)";
            return false;
        }
        if (firstLine[*nReg] != 0) {
            problem = where + "leaf " + Hex8(*values[0]) + " was already given on line " + Num(firstLine[*nReg]);
            return false;
        }
        firstLine[*nReg] = number;
        parsed[*nReg] = CpuRegs{*values[1], *values[2], *values[3], *values[4]};
    }
    std::copy(std::begin(parsed), std::end(parsed), std::begin(record));
    return true;
}

bool ReadLeavesFile(const std::string& path, std::string& bytes, std::string& problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = "cannot open the file";
        return false;
    }
    bytes.resize(kMaxLeavesFileBytes + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxLeavesFileBytes) {
        problem = "larger than " + Num(kMaxLeavesFileBytes) + " bytes, not a record of leaves";
        return false;
    }
    return true;
}

struct Options {
    bool json = false;
    bool dump = false;
    std::optional<std::string> leavesFile;
};

bool ParseOptions(const std::vector<std::string>& args, Options& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") options.json = true;
        else if (args[i] == "--dump") options.dump = true;
        else if (args[i] == "--leaves" && i + 1 < args.size() && !options.leavesFile) options.leavesFile = args[++i];
        else return false;
    }
    return !(options.json && options.dump);
}

}  // namespace

int RunCpuReport(const std::vector<std::string>& args) {
    Options options;
    if (!ParseOptions(args, options)) {
        std::fprintf(stderr, "velmora: usage: velmora cpu [--json | --dump] [--leaves FILE]\n");
        return kUsage;
    }
    Record record{};
    if (options.leavesFile) {
        std::string bytes, problem;
        if (!ReadLeavesFile(*options.leavesFile, bytes, problem) || !ParseLeaves(bytes, record, problem)) {
            std::fprintf(stderr, "velmora: %s: %s\n", options.leavesFile->c_str(), problem.c_str());
            return kUsage;
        }
    }
    try {
        clsCpuInfo info(DefaultPlatform());
        if (options.leavesFile) {
            for (int nReg = 0; nReg < clsCpuInfo::kRecordLeafCount; ++nReg)
                info.LevelSet(nReg, record[nReg].eax, record[nReg].ebx, record[nReg].ecx, record[nReg].edx);
            info.Refresh(false);
        }
        if (options.dump) {
            Print(Dump(info));
            return kOk;
        }
        const auto entries = Describe(info);
        if (options.json) Print(AsJson(entries));
        else Print(AsText(entries) + (options.leavesFile ? "" : ClockLine(info)));
        return kOk;
    } catch (...) {
        const HostError e = ErrorFromException(std::current_exception());
        std::fprintf(stderr, "velmora: cpu: error %d: %s\n", static_cast<int>(e.number), Utf16ToUtf8(e.description).c_str());
        return kCallFailed;
    }
}

}  // namespace velmora::cli
