#pragma once
// The rpm database (Fedora, RHEL and its rebuilds, SUSE, Amazon Linux), read through
// the machine's own librpm, loaded at run time: rpm is never a build dependency.
#include <string>
#include <vector>

#include "platform/linux/packages/PackageRecord.h"

namespace velmora {

// The folder holding the rpm database under `root` (ending in "/"), as a path from
// root ("/var/lib/rpm", or "/usr/lib/sysimage/rpm" where var/lib/rpm links there),
// with links followed inside root as a chroot would; empty when there is no database.
std::string FindRpmDatabase(const std::string& root);

// A PackageReader: one record per installed package as `rpm -qa` lists them, in
// its order, signing keys (gpg-pubkey) left out. key = name-version-release.arch,
// version = [epoch:]version-release, publisher = vendor, else packager.
bool ReadRpmPackages(const std::string& root, std::vector<PackageRecord>& records);

}  // namespace velmora
