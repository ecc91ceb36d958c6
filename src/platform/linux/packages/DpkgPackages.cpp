#include "platform/linux/packages/DpkgPackages.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <unordered_map>

#include "platform/linux/LineStream.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr size_t kMaxPackageName = 200;

// The bytes a package name may hold (bit 1) and those an architecture name may (bit 2),
// as dpkg allows them; anything else (a backslash above all, which would split the
// registry path) marks a damaged stanza.
constexpr auto kNameBytes = [] {
    std::array<uint8_t, 256> bytes{};
    for (int c = 'a'; c <= 'z'; ++c) bytes[c] = 3;
    for (int c = '0'; c <= '9'; ++c) bytes[c] = 3;
    bytes['-'] = 3;
    for (int c = 'A'; c <= 'Z'; ++c) bytes[c] = 1;
    bytes['+'] = bytes['.'] = 1;
    return bytes;
}();

bool IsName(std::string_view text, bool package) {
    if (text.empty() || text.size() > kMaxPackageName) return false;
    const uint8_t kind = package ? 1 : 2;
    for (const char c : text)
        if (!(kNameBytes[static_cast<uint8_t>(c)] & kind)) return false;
    return true;
}

// The third word of "want flag status", as dpkg-query's db:Status-Status gives it.
bool IsInstalled(std::string_view status) {
    if (status == "install ok installed") return true;  // as dpkg writes it, mostly
    for (int word = 0; word < 2; ++word) {
        const size_t blank = status.find(' ');
        if (blank == std::string_view::npos) return false;
        status = TrimBlanks(status.substr(blank + 1));
    }
    return status == "installed";
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

uint64_t Load8(const char* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
}

// Eight bytes of `text` from `at`, as Load8 reads them from memory.
constexpr uint64_t Pack8(std::string_view text, size_t at) {
    uint64_t word = 0;
    for (size_t i = 0; i < 8; ++i) {
        const uint64_t byte = static_cast<uint8_t>(text[at + i]);
        word |= std::endian::native == std::endian::little ? byte << (8 * i) : byte << (56 - 8 * i);
    }
    return word;
}

enum class Field { Package, Architecture, Status, Version, MultiArch, Maintainer };

// A field read. dpkg writes each as "Name: value", which is compared eight bytes at a
// time (the first eight and the last eight of "Name: "); any other spelling of it goes
// the long way, as SplitAt and TrimBlanks would take it apart.
struct FieldName {
    Field field;
    std::string_view written;  // as dpkg writes it, ": " included
    std::string_view name;     // in lower case
    uint64_t head, tail;

    constexpr FieldName(Field is, std::string_view as, std::string_view lower)
        : field(is), written(as), name(lower), head(Pack8(as, 0)), tail(Pack8(as, as.size() - 8)) {}

    // The field's value when `line` holds this field.
    bool Value(std::string_view line, std::string_view& value) const {
        if (line.size() > written.size() && Load8(line.data()) == head &&
            Load8(line.data() + written.size() - 8) == tail) {
            value = line.substr(written.size());
            if (value.front() != ' ' && value.front() != '\t' && !IsBlank(value.back())) return true;
        }
        if (line.size() <= name.size() || !SameIgnoringAsciiCase(line.substr(0, name.size()), name)) return false;
        size_t colon = name.size();
        while (colon < line.size() && IsBlank(line[colon])) ++colon;
        if (colon == line.size() || line[colon] != ':') return false;
        value = TrimBlanks(line.substr(colon + 1));
        return true;
    }
};

constexpr FieldName kPackage(Field::Package, "Package: ", "package"),
    kArchitecture(Field::Architecture, "Architecture: ", "architecture"), kStatus(Field::Status, "Status: ", "status"),
    kVersion(Field::Version, "Version: ", "version"), kMultiArch(Field::MultiArch, "Multi-Arch: ", "multi-arch"),
    kMaintainer(Field::Maintainer, "Maintainer: ", "maintainer");

// A field's value kept past its line, in room reused from stanza to stanza; a line is
// at most kMaxStreamLine long, so is the value.
class KeptText {
public:
    void Set(std::string_view text) {
        size_ = std::min(text.size(), sizeof bytes_);
        if (size_ != 0) std::memcpy(bytes_, text.data(), size_);  // an empty view may have no bytes at all
    }
    void Clear() { size_ = 0; }
    std::string_view View() const { return {bytes_, size_}; }

private:
    size_t size_ = 0;
    char bytes_[kMaxStreamLine];
};

// One stanza's fields as far as it has been read.
struct Stanza {
    KeptText package, architecture, version, maintainer;
    bool multiArchSame = false;  // "Multi-Arch: same": co-installable across architectures
    bool installed = false;      // the Status field's verdict: the text itself is not kept
    bool damaged = false;

    void Clear() {
        package.Clear();
        architecture.Clear();
        version.Clear();
        maintainer.Clear();
        multiArchSame = installed = damaged = false;
    }

    void Take(const FieldName& name, std::string_view line, bool overlong) {
        std::string_view value;
        if (!name.Value(line, value)) return;
        switch (name.field) {
            case Field::Package:
                damaged |= overlong || !IsName(value, true);
                package.Set(value);
                return;
            case Field::Architecture:
                damaged |= overlong || !IsName(value, false);
                architecture.Set(value);
                return;
            case Field::Status:
                damaged |= overlong;
                installed = IsInstalled(value);
                return;
            case Field::Version:
                version.Set(overlong ? std::string_view() : value);  // a damaged version is left out
                return;
            case Field::MultiArch:
                multiArchSame = value == "same";
                return;
            case Field::Maintainer:
                maintainer.Set(overlong ? std::string_view() : value);
                return;
        }
    }
};

// Only blanks, tabs and CRs; its first byte is one of them.
bool BlankLine(std::string_view line) {
    for (size_t i = 1; i < line.size(); ++i)
        if (!IsBlank(line[i])) return false;
    return true;
}

// Hands `keep` each stanza of the status file that is installed and whole, in file
// order, up to kMaxInstalledPackages of them. False if the file cannot be read.
template <class Keep>
bool ReadStanzas(const std::string& statusPath, Keep&& keep) {
    // Its 16 KiB live on the heap: the line reader's chunk already takes 64 KiB of a
    // host thread's stack, which may be small.
    const auto held = std::make_unique<Stanza>();
    Stanza& stanza = *held;
    size_t kept = 0;
    const auto finish = [&] {
        if (!stanza.damaged && stanza.installed && !stanza.package.View().empty() && kept < kMaxInstalledPackages) {
            keep(stanza);
            ++kept;
        }
        stanza.Clear();
    };
    // A line is told by its first byte before anything else: most are continuation
    // lines and fields no reader wants. A field read is told by its first two letters
    // (in either case) before any comparison.
    const bool read = ForEachLineIn(statusPath, [&](std::string_view line, bool overlong) {
        const FieldName* name;
        switch (line.empty() ? '\n' : line.front()) {
            case '\n':
                finish();
                return true;
            case ' ': case '\t': case '\r':  // a blank line ends the stanza; others continue a field not read
                if (!overlong && BlankLine(line)) finish();
                return true;
            case 'P': case 'p': name = &kPackage; break;
            case 'A': case 'a': name = &kArchitecture; break;
            case 'S': case 's': name = &kStatus; break;
            case 'V': case 'v': name = &kVersion; break;
            case 'M': case 'm': name = line.size() > 1 && (line[1] | 0x20) == 'u' ? &kMultiArch : &kMaintainer; break;
            default: return true;
        }
        if (line.size() > kStatus.name.size() && (line[1] | 0x20) == name->name[1]) stanza.Take(*name, line, overlong);
        return true;
    });
    finish();  // a last stanza without its blank line still counts
    return read;
}

// The installed packages' fields, kept until the native architecture (and so each
// record's name) is known. Nothing kept ever moves: the bytes go where the records
// keep theirs, once, and the entries into a deque, so no copy grows with the file.
class Collected {
public:
    explicit Collected(PackageRecords& records) : records_(records) {}

    void Add(const Stanza& stanza) {
        if (dpkg_ == kNone && stanza.package.View() == "dpkg") dpkg_ = entries_.size();
        entries_.push_back({records_.Keep(stanza.package.View()), records_.Keep(stanza.architecture.View()),
                            records_.Keep(stanza.version.View()), records_.Keep(stanza.maintainer.View()),
                            stanza.multiArchSame});
    }

    // A record per package, named as dpkg-query's ${binary:Package} names it: "name", or
    // "name:arch" for a foreign architecture and for Multi-Arch: same packages.
    void Finish() {
        const std::string_view native = NativeArchitecture();
        const size_t count =
            std::min(entries_.size(), kMaxInstalledPackages - std::min(records_.size(), kMaxInstalledPackages));
        records_.reserve(records_.size() + count);
        std::string qualified;
        for (size_t i = 0; i < count; ++i) {
            const Entry& entry = entries_[i];
            std::string_view name = entry.package;
            if (!entry.architecture.empty() &&
                ((entry.architecture != "all" && entry.architecture != native) || entry.multiArchSame)) {
                qualified.assign(entry.package).append(1, ':').append(entry.architecture);
                name = records_.Keep(qualified);
            }
            records_.AddKept({name, name, entry.version, entry.maintainer});
        }
    }

private:
    static constexpr size_t kNone = ~size_t{0};

    struct Entry {
        std::string_view package, architecture, version, maintainer;
        bool multiArchSame = false;
    };

    // dpkg is always of the native architecture; without it in the list, the architecture
    // most packages have ("all" aside; a tie goes to the first bytewise).
    std::string_view NativeArchitecture() const {
        if (dpkg_ != kNone) return entries_[dpkg_].architecture;
        std::unordered_map<std::string_view, size_t> counts;
        for (const Entry& entry : entries_)
            if (entry.architecture != "all") ++counts[entry.architecture];
        std::string_view native;
        size_t most = 0;
        for (const auto& [architecture, count] : counts)
            if (count > most || (count == most && architecture < native)) most = count, native = architecture;
        return native;
    }

    PackageRecords& records_;
    std::deque<Entry> entries_;
    size_t dpkg_ = kNone;  // the first package named dpkg
};

}  // namespace

bool ReadInstalledPackages(const std::string& statusPath, std::vector<InstalledPackage>& packages) {
    packages.clear();
    const bool read = ReadStanzas(statusPath, [&](const Stanza& stanza) {
        packages.push_back({std::string(stanza.package.View()), std::string(stanza.architecture.View()),
                            std::string(stanza.version.View()), std::string(stanza.maintainer.View()),
                            stanza.multiArchSame});
    });
    if (!read) packages.clear();
    return read;
}

bool ReadDpkgPackages(const std::string& root, PackageRecords& records) {
    const std::string path = root + "var/lib/dpkg/status";
    Collected collected(records);
    if (!ReadStanzas(path, [&](const Stanza& stanza) { collected.Add(stanza); })) {
        struct stat st{};
        return ::stat(path.c_str(), &st) != 0;  // absent: no dpkg here
    }
    collected.Finish();
    return true;
}

}  // namespace velmora
