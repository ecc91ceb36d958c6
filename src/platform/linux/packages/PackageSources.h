#pragma once
// The package databases a Linux machine may keep, in the order their packages are
// listed: one row each, with its reader and the paths whose change may change its list.
// Adding a source is adding a reader and a row.
#include <array>
#include <string>
#include <vector>

#include "platform/common/RegistryTree.h"
#include "platform/linux/packages/PackageRecord.h"

namespace velmora {

struct PackageSource {
    const char* name;
    PackageReader read;
    // Paths under the root; the source is present when one of them exists, and a
    // change to one (or, for a folder, to the names in it) may change its list.
    std::array<const char*, 6> markers;
};

extern const std::vector<PackageSource> kPackageSources;

// Every marker of every source, under `root` (ending in "/").
std::vector<std::string> PackageMarkers(const std::string& root);
// The uninstall key under `localMachine`, made when a source is present under `root`
// and could be read, with the subkeys of every such source in the table's order:
// DisplayName "name version" (the name alone where that would be too long to
// list), DisplayVersion and Publisher where the source records them. A key another
// source already took gets the source's name after it. False (and no key) when no
// source is present or none that is could be read.
bool AddPackageSources(const std::string& root, RegistryKey& localMachine);

}  // namespace velmora
