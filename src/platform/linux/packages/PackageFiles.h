#pragma once
// What the package databases' readers share: folder listings in a fixed order, files
// told apart from what is not one, links followed inside the root, big-endian numbers,
// and one collection of a source's records that keeps its keys unique and the whole
// list within its cap.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/linux/packages/PackageRecord.h"

namespace velmora {

// The big-endian number at byte `at` of `bytes`, which holds it whole: rpm's headers and
// sqlite's pages store theirs so.
inline uint32_t BigEndian16(std::string_view bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 8 | uint8_t(bytes[at + 1]);
}
inline uint32_t BigEndian32(std::string_view bytes, size_t at) {
    return BigEndian16(bytes, at) << 16 | BigEndian16(bytes, at + 2);
}

// What a reader made of one file.
enum class FileRead {
    Read,     // read to its end, or as far as the visitor wanted
    Skipped,  // absent (or gone meanwhile), a dangling link or a link loop, or not a regular file
    Failed,   // there but not readable: the source as a whole is not
};

// A regular file's lines, as ForEachLine hands them over; a FIFO or device is never
// opened, so none can block or run on for ever.
FileRead ReadFileLines(const std::string& path, const std::function<bool(std::string_view line, bool overlong)>& visit);
// A regular file's bytes, at most `limit` (a longer file is cut there).
FileRead ReadFileBytes(const std::string& path, size_t limit, std::string& bytes);

// The names in `folder`, those starting with "." left out, sorted bytewise, so the
// answer does not depend on the file system's order. None for an absent folder;
// nullopt when the folder is there but cannot be listed.
std::optional<std::vector<std::string>> SortedFolderNames(const std::string& folder);

// `path` below `base` (both relative to `root`, which ends in "/"; `base` already
// resolved), with every link on the way followed as if `root` were "/": a relative
// link from where it stands, an absolute one from `root`, ".." never above it.
// Answers the resolved path relative to `root`; nullopt when a part is missing or
// unreadable, a link is damaged, or more than 40 links stand on the way (a loop).
std::optional<std::string> ResolveUnderRoot(const std::string& root, const std::string& base, std::string_view path);

// A value as a record keeps it: cut at a NUL, trimmed of blanks.
std::string RecordText(std::string_view value);

// One source's records, appended to the list only once the whole source was read.
class SourceRecords {
public:
    explicit SourceRecords(const PackageRecords& records);
    // No more records fit under kMaxInstalledPackages.
    bool Full() const { return kept_.size() >= room_; }
    // Keeps the record unless full, or its key is empty, longer than a subkey's name may
    // be (255), holds a backslash or a NUL, or is already taken.
    void Add(const PackageRecord& record);
    void AppendTo(PackageRecords& records);

private:
    size_t room_;
    PackageRecords kept_;
    std::unordered_set<std::string_view> keys_;  // the kept records' own keys
};

}  // namespace velmora
