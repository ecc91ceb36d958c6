#include "platform/linux/LinuxRegistry.h"

#include "platform/linux/LineStream.h"
#include "platform/linux/packages/PackageSources.h"

namespace velmora {
namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string ReadCpuModelName(const std::string& cpuinfoPath) {
    std::string model;
    ForEachLine(cpuinfoPath, [&](std::string_view line, bool overlong) {
        std::string_view name, value;
        if (overlong || !SplitAt(line, ':', name, value) || name != "model name") return true;
        model = value;
        return false;
    });
    return model;
}

std::shared_ptr<RegistryTree> BuildLinuxRegistry(const std::string& rootFolder) {
    auto tree = std::make_shared<RegistryTree>();
    const std::string model = ReadCpuModelName(rootFolder + "proc/cpuinfo");
    if (!model.empty()) tree->LocalMachine().Add(kRegProcessorKey).SetString(kRegProcessorName, model);
    AddPackageSources(rootFolder, tree->LocalMachine());
    return tree;
}

LinuxRegistry::LinuxRegistry(std::string rootFolder)
    : TreeRegistry([this] { return Current(); }), root_(WithSlash(std::move(rootFolder))),
      changes_(PackageMarkers(root_)) {}

std::shared_ptr<const RegistryTree> LinuxRegistry::Current() {
    if (changes_.Changed() || !tree_) tree_ = BuildLinuxRegistry(root_);
    return tree_;
}

}  // namespace velmora
