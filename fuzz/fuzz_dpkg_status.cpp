// dpkg's status file: any bytes parse into installed packages and their uninstall keys.
#include "FuzzSupport.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/packages/DpkgPackages.h"
#include "platform/linux/packages/PackageSources.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratch("var/lib/dpkg/status", {reinterpret_cast<const char*>(data), size});
    std::vector<InstalledPackage> packages;
    if (!ReadInstalledPackages(path, packages)) std::abort();  // the file is there
    if (packages.size() > kMaxInstalledPackages) std::abort();
    RegistryKey machine;
    if (!AddPackageSources(fuzz::ScratchRoot(), machine)) std::abort();
    const RegistryKey* uninstall = machine.Find("SOFTWARE")->Find("Microsoft")->Find("Windows");
    uninstall = uninstall->Find("CurrentVersion")->Find("Uninstall");
    if (uninstall->Subkeys().size() > packages.size()) std::abort();
    // The whole tree as the backend builds it, the processor name included.
    BuildLinuxRegistry(fuzz::ScratchRoot());
    return 0;
}
