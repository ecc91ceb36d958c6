#include "platform/linux/LinuxRegistry.h"

#include "platform/linux/CallScope.h"
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

void LinuxRegistry::CallBegins() { CallScopeBegins(); }

void LinuxRegistry::CallEnds() { CallScopeEnds(); }

std::shared_ptr<const RegistryTree> LinuxRegistry::Current() {
    // A look taken after this thread's call began serves the rest of the call.
    const uint64_t call = CurrentCall();
    if (call != 0 && call <= checkedAt_ && tree_) return tree_;
    // Read before looking: every call numbered up to here began before the look.
    const uint64_t begun = CallsBegun();
    if (changes_.Changed() || !tree_) tree_ = BuildLinuxRegistry(root_);
    checkedAt_ = begun;
    return tree_;
}

}  // namespace velmora
