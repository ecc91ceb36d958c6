#include "platform/linux/packages/PackageSources.h"

#include <sys/stat.h>

#include "platform/linux/packages/DpkgPackages.h"
#include "platform/linux/packages/PackageReaders.h"
#include "platform/linux/packages/RpmPackages.h"

namespace velmora {
namespace {

constexpr size_t kMaxDisplayName = 199;  // longer names are beyond what the readers list

bool Present(const std::string& root, const PackageSource& source) {
    struct stat st{};
    for (const char* marker : source.markers)
        if (marker && ::stat((root + marker).c_str(), &st) == 0) return true;
    return false;
}

void AddEntry(RegistryKey& uninstall, const PackageRecord& record, const char* source, std::string& display) {
    RegistryKey* entry = uninstall.AddNew(record.key);
    if (!entry) entry = uninstall.AddNew(std::string(record.key) + " (" + source + ")");
    if (!entry) return;  // listed twice by one source: once is what it has
    // "name version", or the name alone when that would be too long; stored as REG_SZ,
    // its NUL included, put together in the caller's storage and copied into the tree.
    const bool withVersion =
        !record.version.empty() && record.name.size() + 1 + record.version.size() <= kMaxDisplayName;
    display.assign(record.name);
    if (withVersion) display.append(1, ' ').append(record.version);
    display.push_back('\0');
    entry->SetValue(kRegDisplayName, kRegSz, display);
    if (!record.version.empty()) entry->SetString("DisplayVersion", record.version);
    if (!record.publisher.empty()) entry->SetString("Publisher", record.publisher);
}

}  // namespace

// Marker files are those a package manager rewrites or renames into place when it
// commits (rpm's sqlite database writes its log, then the database, in place); a
// folder marker shows entries coming and going. pacman writes an entry's
// desc inside its folder and removes db.lck when the transaction ends; flatpak
// touches .changed, snapd rewrites state.json after every change.
const std::vector<PackageSource> kPackageSources = {
    {"dpkg", ReadDpkgPackages, {"var/lib/dpkg/status"}},
    {"rpm", ReadRpmPackages,
     {"var/lib/rpm/rpmdb.sqlite", "var/lib/rpm/rpmdb.sqlite-wal", "var/lib/rpm/Packages", "var/lib/rpm/Packages.db",
      "usr/lib/sysimage/rpm/rpmdb.sqlite", "usr/lib/sysimage/rpm/Packages.db"}},
    {"pacman", ReadPacmanPackages, {"var/lib/pacman/local", "var/lib/pacman/db.lck"}},
    {"apk", ReadApkPackages, {"lib/apk/db/installed", "usr/lib/apk/db/installed"}},
    {"flatpak", ReadFlatpakPackages, {"var/lib/flatpak/app", "var/lib/flatpak/.changed"}},
    {"snap", ReadSnapPackages, {"snap", "var/lib/snapd/state.json"}},
};

std::vector<std::string> PackageMarkers(const std::string& root) {
    std::vector<std::string> markers;
    for (const auto& source : kPackageSources)
        for (const char* marker : source.markers)
            if (marker) markers.push_back(root + marker);
    return markers;
}

bool AddPackageSources(const std::string& root, RegistryKey& localMachine) {
    RegistryKey* uninstall = nullptr;
    PackageRecords records;
    std::string display;
    for (const auto& source : kPackageSources) {
        if (!Present(root, source)) continue;
        const size_t before = records.size();
        if (!source.read(root, records)) {
            records.Truncate(before);  // a source that cannot be read adds nothing
            continue;
        }
        if (!uninstall) uninstall = &localMachine.Add(kRegUninstallKey);
        uninstall->ReserveSubkeys(records.size() - before);
        for (size_t i = before; i < records.size(); ++i) AddEntry(*uninstall, records[i], source.name, display);
    }
    return uninstall != nullptr;
}

}  // namespace velmora
