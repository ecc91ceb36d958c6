#pragma once
// One installed package as a Linux package database records it: what each source's
// reader hands over, and what becomes one subkey of the uninstall key.
#include <string>
#include <vector>

namespace velmora {

struct PackageRecord {
    std::string key;        // the subkey's name: unique within its source, never a backslash
    std::string name;       // the package's name
    std::string version;    // as that manager's own listing writes it; empty when none
    std::string publisher;  // vendor, packager or maintainer; empty when none
};

// Records beyond this are not kept, over all sources; the component's lists stop far earlier.
inline constexpr size_t kMaxInstalledPackages = 65536;

// A reader of one source. Under `root` (ending in "/"), appends the installed
// packages, at most up to kMaxInstalledPackages in `records` in all, and answers
// true; an absent or empty source is true with nothing added. False when the
// source is there but cannot be read: then nothing of it is added.
// A reader never blocks on a package manager's lock and never writes.
using PackageReader = bool (*)(const std::string& root, std::vector<PackageRecord>& records);

}  // namespace velmora
