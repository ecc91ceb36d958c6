#pragma once
// The readers of the package databases beside dpkg's, each a PackageReader.
#include "platform/linux/packages/PackageRecord.h"

namespace velmora {

// pacman: var/lib/pacman/local/NAME-VERSION/desc; key the entry's folder; in folder order.
bool ReadPacmanPackages(const std::string& root, std::vector<PackageRecord>& records);

}  // namespace velmora
