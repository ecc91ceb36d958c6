#pragma once
// One installed package as a Linux package database records it: what each source's
// reader hands over, and what becomes one subkey of the uninstall key.
#include <string>
#include <string_view>
#include <vector>

#include "base/Arena.h"

namespace velmora {

// Its texts lie in the PackageRecords that holds it.
struct PackageRecord {
    std::string_view key;        // the subkey's name: unique within its source, never a backslash
    std::string_view name;       // the package's name
    std::string_view version;    // as that manager's own listing writes it; empty when none
    std::string_view publisher;  // vendor, packager or maintainer; empty when none
};

// Records with their texts. Each text is copied in once, into blocks that never move:
// thousands of records take a few allocations, not one per text.
class PackageRecords {
public:
    PackageRecords() = default;
    PackageRecords(const PackageRecords&) = delete;
    PackageRecords& operator=(const PackageRecords&) = delete;

    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    const PackageRecord& operator[](size_t i) const { return records_[i]; }
    const PackageRecord& back() const { return records_.back(); }
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }
    void reserve(size_t count) { records_.reserve(count); }

    // Keeps a copy of `record`'s texts (a name that is its key shares the key's copy).
    void Add(const PackageRecord& record) {
        const std::string_view key = texts_.Copy(record.key);
        records_.push_back({key, record.name == record.key ? key : texts_.Copy(record.name),
                            texts_.Copy(record.version), texts_.Copy(record.publisher)});
    }
    // A copy of `text` kept with the records, for a reader that gathers its fields
    // before it can make its records of them (AddKept).
    std::string_view Keep(std::string_view text) { return texts_.Copy(text); }
    // `record` as it is: each of its texts is empty or was kept here.
    void AddKept(const PackageRecord& record) { records_.push_back(record); }
    // Only the first `count` records stay; the texts of those dropped stay until all go.
    void Truncate(size_t count) {
        if (count < records_.size()) records_.resize(count);
    }

private:
    std::vector<PackageRecord> records_;
    Arena texts_;
};

// Records beyond this are not kept, over all sources; the component's lists stop far earlier.
inline constexpr size_t kMaxInstalledPackages = 65536;

// A reader of one source. Under `root` (ending in "/"), appends the installed
// packages, at most up to kMaxInstalledPackages in `records` in all, and answers
// true; an absent or empty source is true with nothing added. False when the
// source is there but cannot be read: then nothing of it is added.
// A reader never blocks on a package manager's lock and never writes.
using PackageReader = bool (*)(const std::string& root, PackageRecords& records);

}  // namespace velmora
