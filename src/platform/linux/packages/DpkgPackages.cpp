#include "platform/linux/packages/DpkgPackages.h"

#include <sys/stat.h>

#include <map>

#include "platform/linux/LineStream.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr size_t kMaxPackageName = 200;

// Package and architecture names as dpkg allows them; anything else (a backslash
// above all, which would split the registry path) marks a damaged stanza.
bool IsName(std::string_view text, bool package) {
    if (text.empty() || text.size() > kMaxPackageName) return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                        (package && ((c >= 'A' && c <= 'Z') || c == '+' || c == '.'));
        if (!ok) return false;
    }
    return true;
}

// The third word of "want flag status", as dpkg-query's db:Status-Status gives it.
bool IsInstalled(std::string_view status) {
    for (int word = 0; word < 2; ++word) {
        const size_t blank = status.find(' ');
        if (blank == std::string_view::npos) return false;
        status = TrimBlanks(status.substr(blank + 1));
    }
    return status == "installed";
}

struct Stanza {
    InstalledPackage fields;
    bool installed = false;  // the Status field's verdict: the text itself is not kept
    bool damaged = false;
};

// The fields read, told apart by their first letter before any comparison: most of
// a status file's lines are fields no reader wants.
void TakeField(Stanza& stanza, std::string_view line, bool overlong) {
    const char first = AsciiLower(line.front());
    if (first != 'p' && first != 'a' && first != 's' && first != 'v' && first != 'm') return;
    std::string_view name, value;
    if (!SplitAt(line, ':', name, value) || name.empty()) return;
    switch (first) {
        case 'p':
            if (!SameIgnoringAsciiCase(name, "Package")) return;
            stanza.damaged |= overlong || !IsName(value, true);
            stanza.fields.package = value;
            return;
        case 'a':
            if (!SameIgnoringAsciiCase(name, "Architecture")) return;
            stanza.damaged |= overlong || !IsName(value, false);
            stanza.fields.architecture = value;
            return;
        case 's':
            if (!SameIgnoringAsciiCase(name, "Status")) return;
            stanza.damaged |= overlong;
            stanza.installed = IsInstalled(value);
            return;
        case 'v':
            if (SameIgnoringAsciiCase(name, "Version"))
                stanza.fields.version = overlong ? std::string_view() : value;  // a damaged version is left out
            return;
        case 'm':
            if (SameIgnoringAsciiCase(name, "Multi-Arch"))
                stanza.fields.multiArchSame = value == "same";
            else if (SameIgnoringAsciiCase(name, "Maintainer"))
                stanza.fields.maintainer = overlong ? std::string_view() : value;
            return;
        default:
            return;
    }
}

std::string NativeArchitecture(const std::vector<InstalledPackage>& packages) {
    std::map<std::string, size_t> counts;
    for (const auto& p : packages) {
        if (p.package == "dpkg") return p.architecture;  // dpkg is always of the native architecture
        if (p.architecture != "all") ++counts[p.architecture];
    }
    std::string native;
    size_t most = 0;
    for (const auto& [architecture, count] : counts)
        if (count > most) most = count, native = architecture;
    return native;
}

}  // namespace

bool ReadInstalledPackages(const std::string& statusPath, std::vector<InstalledPackage>& packages) {
    packages.clear();
    Stanza stanza;
    auto finish = [&] {
        if (!stanza.damaged && !stanza.fields.package.empty() && stanza.installed &&
            packages.size() < kMaxInstalledPackages)
            packages.push_back(std::move(stanza.fields));
        stanza = Stanza();
    };
    const bool read = ForEachLine(statusPath, [&](std::string_view line, bool overlong) {
        const char first = line.empty() ? ' ' : line.front();
        const bool blankStart = first == ' ' || first == '\t' || first == '\r';
        if (blankStart && !overlong && TrimBlanks(line).empty())
            finish();
        else if (first != ' ' && first != '\t')  // continuation lines belong to fields not read
            TakeField(stanza, line, overlong);
        return true;
    });
    finish();  // a last stanza without its blank line still counts
    if (!read) packages.clear();
    return read;
}

bool ReadDpkgPackages(const std::string& root, std::vector<PackageRecord>& records) {
    std::vector<InstalledPackage> packages;
    if (!ReadInstalledPackages(root + "var/lib/dpkg/status", packages)) {
        struct stat st{};
        return ::stat((root + "var/lib/dpkg/status").c_str(), &st) != 0;  // absent: no dpkg here
    }
    const std::string native = NativeArchitecture(packages);
    for (auto& p : packages) {
        if (records.size() >= kMaxInstalledPackages) break;
        std::string name = p.package;
        const bool foreign = p.architecture != "all" && p.architecture != native;
        if (!p.architecture.empty() && (foreign || p.multiArchSame)) name += ":" + p.architecture;
        records.push_back({name, std::move(name), std::move(p.version), std::move(p.maintainer)});
    }
    return true;
}

}  // namespace velmora
