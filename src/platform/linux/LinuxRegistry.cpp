#include "platform/linux/LinuxRegistry.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "platform/linux/LineStream.h"

namespace velmora {
namespace {

constexpr size_t kMaxDisplayName = 199;  // longer names are beyond what the readers list
constexpr size_t kMaxPackageName = 200;

// "Name: value" split at the first colon; false for a line without one.
bool SplitField(std::string_view line, std::string_view& name, std::string_view& value) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    name = TrimBlanks(line.substr(0, colon));
    value = TrimBlanks(line.substr(colon + 1));
    return true;
}

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
    std::string status;
    bool damaged = false;
    bool any = false;
};

void TakeField(Stanza& stanza, std::string_view line, bool overlong) {
    std::string_view name, value;
    if (!SplitField(line, name, value)) return;
    stanza.any = true;
    if (SameIgnoringAsciiCase(name, "Package")) {
        stanza.damaged |= overlong || !IsName(value, true);
        stanza.fields.package = value;
    } else if (SameIgnoringAsciiCase(name, "Architecture")) {
        stanza.damaged |= overlong || !IsName(value, false);
        stanza.fields.architecture = value;
    } else if (SameIgnoringAsciiCase(name, "Status")) {
        stanza.damaged |= overlong;
        stanza.status = value;
    } else if (SameIgnoringAsciiCase(name, "Version")) {
        stanza.fields.version = overlong ? std::string_view() : value;  // a damaged version is left out
    } else if (SameIgnoringAsciiCase(name, "Multi-Arch")) {
        stanza.fields.multiArchSame = value == "same";
    } else if (SameIgnoringAsciiCase(name, "Maintainer")) {
        stanza.fields.maintainer = overlong ? std::string_view() : value;
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

std::string ReadCpuModelName(const std::string& cpuinfoPath) {
    std::string model;
    ForEachLine(cpuinfoPath, [&](std::string_view line, bool overlong) {
        std::string_view name, value;
        if (overlong || !SplitField(line, name, value) || name != "model name") return true;
        model = value;
        return false;
    });
    return model;
}

bool ReadInstalledPackages(const std::string& statusPath, std::vector<InstalledPackage>& packages) {
    packages.clear();
    Stanza stanza;
    auto finish = [&] {
        if (stanza.any && !stanza.damaged && !stanza.fields.package.empty() && IsInstalled(stanza.status) &&
            packages.size() < kMaxInstalledPackages)
            packages.push_back(std::move(stanza.fields));
        stanza = Stanza();
    };
    const bool read = ForEachLine(statusPath, [&](std::string_view line, bool overlong) {
        if (TrimBlanks(line).empty() && !overlong)
            finish();
        else if (line.front() != ' ' && line.front() != '\t')  // continuation lines belong to fields not read
            TakeField(stanza, line, overlong);
        return true;
    });
    finish();  // a last stanza without its blank line still counts
    if (!read) packages.clear();
    return read;
}

void AddUninstallEntries(RegistryKey& uninstall, const std::vector<InstalledPackage>& packages) {
    const std::string native = NativeArchitecture(packages);
    for (const auto& p : packages) {
        std::string subkey = p.package;
        const bool foreign = p.architecture != "all" && p.architecture != native;
        if (!p.architecture.empty() && (foreign || p.multiArchSame)) subkey += ":" + p.architecture;
        std::string display = p.version.empty() ? subkey : subkey + " " + p.version;
        if (display.size() > kMaxDisplayName) display = subkey;
        RegistryKey& key = uninstall.Add(subkey);
        key.SetString(kRegDisplayName, display);
        if (!p.version.empty()) key.SetString("DisplayVersion", p.version);
        if (!p.maintainer.empty()) key.SetString("Publisher", p.maintainer);
    }
}

std::shared_ptr<RegistryTree> BuildLinuxRegistry(const std::string& rootFolder) {
    auto tree = std::make_shared<RegistryTree>();
    const std::string model = ReadCpuModelName(rootFolder + "proc/cpuinfo");
    if (!model.empty()) tree->LocalMachine().Add(kRegProcessorKey).SetString(kRegProcessorName, model);
    std::vector<InstalledPackage> packages;
    if (ReadInstalledPackages(rootFolder + "var/lib/dpkg/status", packages))
        AddUninstallEntries(tree->LocalMachine().Add(kRegUninstallKey), packages);
    return tree;
}

namespace {

// dpkg replaces its status file by renaming a new one over it; a watch on the folder
// sees that, edits in place, removal, and the folder itself going away.
UniqueFd WatchFolder(const std::string& folder) {
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                 IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    if (watch && ::inotify_add_watch(watch.get(), folder.c_str(), kEvents) < 0) watch.reset();
    return watch;
}

}  // namespace

LinuxRegistry::LinuxRegistry(std::string rootFolder)
    : TreeRegistry([this] { return Current(); }), root_(std::move(rootFolder)),
      watch_([this] { return WatchFolder(root_ + "var/lib/dpkg"); }) {
    if (root_.empty() || root_.back() != '/') root_ += '/';
}

bool LinuxRegistry::FolderMayHaveChanged(bool& statusTouched) {
    statusTouched = false;
    bool opened = false;
    const int watch = watch_.Get(opened);
    if (opened || watch < 0) return true;  // a new watch has seen nothing yet
    alignas(inotify_event) char events[4096];
    bool any = false;
    for (;;) {
        const ssize_t got = ReadRetrying(watch, events, sizeof events);
        if (got <= 0) break;  // EAGAIN: nothing (more) queued
        any = true;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            // The folder gone or moved, or events lost: the watch proves nothing any more.
            if (event->mask & (IN_IGNORED | IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                watch_.Drop();
                return true;
            }
            // An event naming the file itself: rebuilt even when size and time look the
            // same (a rewrite within one tick of the file system's clock).
            if (event->len > 0 && std::string_view(event->name) == "status") statusTouched = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return any;
}

LinuxRegistry::Stamp LinuxRegistry::StatusStamp() const {
    struct stat st{};
    if (::stat((root_ + "var/lib/dpkg/status").c_str(), &st) != 0) return Stamp();
    return {true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::shared_ptr<const RegistryTree> LinuxRegistry::Current() {
    // The events are drained before the stamp is taken, so a change during the
    // rebuild still shows at the next call.
    bool statusTouched = false;
    if (!FolderMayHaveChanged(statusTouched) && tree_) return tree_;
    const Stamp now = StatusStamp();
    if (!tree_ || statusTouched || !(now == stamp_)) {
        tree_ = BuildLinuxRegistry(root_);
        stamp_ = now;
    }
    return tree_;
}

}  // namespace velmora
