#pragma once
// The registry on Linux: a read-only tree filled from the system's own sources,
// as the README's table of Windows notions describes.
//   HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0  ProcessorNameString
//       the first "model name" of /proc/cpuinfo
//   HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<package>
//       one subkey per package that a package database holds as installed
//       (packages/PackageSources.h lists the databases)
// Every path is read under a root folder ("/" normally) so tests can hand over
// small trees of their own.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/common/RegistryTree.h"
#include "platform/linux/ChangeWatch.h"

namespace velmora {

// The first processor's "model name" in a cpuinfo file; empty if there is none.
std::string ReadCpuModelName(const std::string& cpuinfoPath);
// The whole tree from the sources under `rootFolder` (ending in "/").
std::shared_ptr<RegistryTree> BuildLinuxRegistry(const std::string& rootFolder);

class LinuxRegistry final : public TreeRegistry {
public:
    explicit LinuxRegistry(std::string rootFolder = "/");
    LinuxRegistry(const LinuxRegistry&) = delete;
    LinuxRegistry& operator=(const LinuxRegistry&) = delete;

    void CallBegins() override;
    void CallEnds() override;

private:
    // The tree, rebuilt when a package database has changed since it was made, so
    // every call sees the system as it is: the databases are looked at once after a
    // call begins, and at every open made outside any call. Called under the
    // registry's lock.
    std::shared_ptr<const RegistryTree> Current();

    std::string root_;
    std::shared_ptr<const RegistryTree> tree_;
    ChangeWatch changes_;
    uint64_t checkedAt_ = 0;  // how many calls had begun in the process at the last look
};

}  // namespace velmora
