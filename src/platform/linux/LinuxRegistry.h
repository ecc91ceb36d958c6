#pragma once
// The registry on Linux: a read-only tree filled from the system's own sources,
// as the README's table of Windows notions describes.
//   HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0  ProcessorNameString
//       the first "model name" of /proc/cpuinfo
//   HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<package>
//       one subkey per package that dpkg's status file holds as installed
// Every path is read under a root folder ("/" normally) so tests can hand over
// small trees of their own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/RegistryTree.h"
#include "platform/linux/SysFiles.h"
#include "platform/linux/packages/PackageRecord.h"

namespace velmora {

struct InstalledPackage {
    std::string package;       // the Package field
    std::string architecture;  // the Architecture field
    std::string version;       // the Version field
    std::string maintainer;    // the Maintainer field
    bool multiArchSame = false;  // "Multi-Arch: same": co-installable across architectures
};

// The first processor's "model name" in a cpuinfo file; empty if there is none.
std::string ReadCpuModelName(const std::string& cpuinfoPath);
// The packages of a dpkg status file whose status is "installed", in file order;
// false (and nothing) if the file cannot be read.
bool ReadInstalledPackages(const std::string& statusPath, std::vector<InstalledPackage>& packages);
// Fills the uninstall key: one subkey per package, named as dpkg-query's
// ${binary:Package} names it ("name", or "name:arch" for a foreign architecture
// and for Multi-Arch: same packages), with DisplayName "name version",
// DisplayVersion and Publisher.
void AddUninstallEntries(RegistryKey& uninstall, const std::vector<InstalledPackage>& packages);
// The whole tree from the sources under `rootFolder` (ending in "/").
std::shared_ptr<RegistryTree> BuildLinuxRegistry(const std::string& rootFolder);

class LinuxRegistry final : public TreeRegistry {
public:
    explicit LinuxRegistry(std::string rootFolder = "/");
    LinuxRegistry(const LinuxRegistry&) = delete;
    LinuxRegistry& operator=(const LinuxRegistry&) = delete;

private:
    // The tree, rebuilt when the package database has changed since it was made,
    // so every call sees the system as it is. Called under the registry's lock.
    std::shared_ptr<const RegistryTree> Current();

    struct Stamp {
        bool exists = false;
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modified = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp StatusStamp() const;
    // True unless the watch on the package database's folder proves nothing there
    // changed since the last look (then the stamp need not be taken again);
    // `statusTouched` when an event named the status file itself.
    bool FolderMayHaveChanged(bool& statusTouched);

    std::string root_;
    std::shared_ptr<const RegistryTree> tree_;
    Stamp stamp_;
    ProcessFd watch_;  // inotify on var/lib/dpkg; none: the stamp is taken every time
};

}  // namespace velmora
