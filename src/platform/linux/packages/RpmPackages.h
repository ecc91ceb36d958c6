#pragma once
// The rpm database (Fedora, RHEL and its rebuilds, SUSE, Amazon Linux): a settled
// sqlite database read straight from its file, any other through the machine's own
// librpm, loaded at run time: rpm is never a build dependency.
#include <string>
#include <string_view>
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
bool ReadRpmPackages(const std::string& root, PackageRecords& records);

// The two ways ReadRpmPackages takes, apart. The sqlite file in `folder` read alone,
// only while it holds the whole database (no -wal or journal with content, no
// transaction under way, unchanged over the read): false, with nothing added, when
// it cannot tell, or holds anything this reader does not know or finds damaged.
bool ReadRpmSqliteFile(const std::string& folder, PackageRecords& records);
// The same over the bytes of a whole database file.
bool ReadRpmSqliteBytes(std::string_view file, PackageRecords& records);
// Through librpm, whatever the database's format.
bool ReadRpmPackagesWithLibrpm(const std::string& root, PackageRecords& records);

}  // namespace velmora
