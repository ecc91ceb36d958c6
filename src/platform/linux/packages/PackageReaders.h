#pragma once
// The readers of the package databases beside dpkg's, each a PackageReader.
#include "platform/linux/packages/PackageRecord.h"

namespace velmora {

// pacman: var/lib/pacman/local/NAME-VERSION/desc; key the entry's folder; in folder order.
bool ReadPacmanPackages(const std::string& root, PackageRecords& records);
// apk: lib/apk/db/installed, else usr/lib/apk/db/installed; key the name; in the file's order.
bool ReadApkPackages(const std::string& root, PackageRecords& records);
// flatpak: the applications of the system installation var/lib/flatpak; key the
// application's ID; in ID order.
bool ReadFlatpakPackages(const std::string& root, PackageRecords& records);
// snap: snap/NAME/current/meta/snap.yaml; key NAME; in name order.
bool ReadSnapPackages(const std::string& root, PackageRecords& records);

}  // namespace velmora
