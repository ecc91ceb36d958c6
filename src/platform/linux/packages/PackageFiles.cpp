#include "platform/linux/packages/PackageFiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/linux/LineStream.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr size_t kMaxKey = 255;    // the longest name a registry subkey may have
constexpr int kMaxLinks = 40;      // as the kernel's own path walk allows

enum class Kind { Absent, File, Other, Unreadable };

// What stands at `path`, links followed. A loop of links or a name too long is as good
// as absent; any other failure (a folder on the way not searchable) is unreadable.
Kind KindAt(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR || errno == ELOOP || errno == ENAMETOOLONG ? Kind::Absent
                                                                                             : Kind::Unreadable;
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

// After a failed read: a file removed meanwhile (a package going away) is skipped.
FileRead AfterFailure(const std::string& path) {
    return KindAt(path) == Kind::Absent ? FileRead::Skipped : FileRead::Failed;
}

void PushParts(std::string_view path, std::vector<std::string>& todo) {
    // `todo` is worked from its back, so the parts go in last first.
    while (!path.empty()) {
        const size_t slash = path.rfind('/');
        const std::string_view part = slash == std::string_view::npos ? path : path.substr(slash + 1);
        if (!part.empty() && part != ".") todo.emplace_back(part);
        if (slash == std::string_view::npos) break;
        path = path.substr(0, slash);
    }
}

}  // namespace

FileRead ReadFileLines(const std::string& path, const std::function<bool(std::string_view, bool)>& visit) {
    switch (KindAt(path)) {
        case Kind::File: break;
        case Kind::Unreadable: return FileRead::Failed;
        default: return FileRead::Skipped;
    }
    return ForEachLine(path, visit) ? FileRead::Read : AfterFailure(path);
}

FileRead ReadFileBytes(const std::string& path, size_t limit, std::string& bytes) {
    switch (KindAt(path)) {
        case Kind::File: break;
        case Kind::Unreadable: return FileRead::Failed;
        default: return FileRead::Skipped;
    }
    auto read = ReadSysFile(path, limit);
    if (!read) return AfterFailure(path);
    bytes = std::move(*read);
    return FileRead::Read;
}

std::optional<std::vector<std::string>> SortedFolderNames(const std::string& folder) {
    auto names = FolderNames(folder, kMaxInstalledPackages);
    if (names.empty()) {
        // Nothing listed: an empty or absent folder, or one that cannot be opened.
        const UniqueDir dir(::opendir(folder.c_str()));
        if (!dir && errno != ENOENT && errno != ENOTDIR && errno != ELOOP) return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> ResolveUnderRoot(const std::string& root, const std::string& base, std::string_view path) {
    std::vector<std::string> done, todo;
    PushParts(base, done);
    std::reverse(done.begin(), done.end());
    PushParts(path, todo);
    std::string here;  // `done` joined, each part followed by "/"
    for (const auto& part : done) here += part + "/";
    int links = 0;
    while (!todo.empty()) {
        const std::string part = std::move(todo.back());
        todo.pop_back();
        if (part == "..") {
            if (!done.empty()) {
                here.resize(here.size() - done.back().size() - 1);
                done.pop_back();
            }
            continue;
        }
        const std::string full = root + here + part;
        struct stat st{};
        if (::lstat(full.c_str(), &st) != 0) return std::nullopt;
        if (S_ISLNK(st.st_mode)) {
            char target[PATH_MAX];
            const ssize_t size = ::readlink(full.c_str(), target, sizeof target);
            if (++links > kMaxLinks || size <= 0 || static_cast<size_t>(size) >= sizeof target) return std::nullopt;
            const std::string_view link(target, static_cast<size_t>(size));
            if (link.front() == '/') done.clear(), here.clear();
            PushParts(link, todo);
            continue;
        }
        done.push_back(part);
        here += part + "/";
    }
    if (!here.empty()) here.pop_back();
    return here;
}

std::string RecordText(std::string_view value) { return std::string(TrimBlanks(value.substr(0, value.find('\0')))); }

SourceRecords::SourceRecords(const PackageRecords& records)
    : room_(kMaxInstalledPackages - std::min(records.size(), kMaxInstalledPackages)) {}

void SourceRecords::Add(const PackageRecord& record) {
    const std::string_view key = record.key;
    if (Full() || key.empty() || key.size() > kMaxKey || key.find_first_of(std::string_view("\\\0", 2)) != key.npos)
        return;
    if (keys_.contains(key)) return;
    kept_.Add(record);
    keys_.insert(kept_.back().key);
}

void SourceRecords::AppendTo(PackageRecords& records) {
    records.reserve(records.size() + kept_.size());
    for (const PackageRecord& record : kept_) records.Add(record);
    kept_.Truncate(0);
    keys_.clear();
}

}  // namespace velmora
