#pragma once
// dpkg's status file (Debian, Ubuntu and their derivatives).
#include <string>
#include <vector>

#include "platform/linux/packages/PackageRecord.h"

namespace velmora {

struct InstalledPackage {
    std::string package;       // the Package field
    std::string architecture;  // the Architecture field
    std::string version;       // the Version field
    std::string maintainer;    // the Maintainer field
    bool multiArchSame = false;  // "Multi-Arch: same": co-installable across architectures
};

// The packages of a dpkg status file whose status is "installed", in file order;
// false (and nothing) if the file cannot be read.
bool ReadInstalledPackages(const std::string& statusPath, std::vector<InstalledPackage>& packages);
// var/lib/dpkg/status under `root`: one record per installed package, keyed and named
// as dpkg-query's ${binary:Package} names it ("name", or "name:arch" for a foreign
// architecture and for Multi-Arch: same packages), with its version and maintainer.
bool ReadDpkgPackages(const std::string& root, PackageRecords& records);

}  // namespace velmora
