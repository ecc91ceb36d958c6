#pragma once
// The fake registry: the shared in-memory tree, which each test fills.
#include <memory>
#include <string>
#include <vector>

#include "platform/common/RegistryTree.h"

namespace velmora::testing {

class FakeRegistry final : public TreeRegistry {
public:
    FakeRegistry() : TreeRegistry([this] { return std::shared_ptr<const RegistryTree>(tree_, tree_.get()); }) {}

    RegistryKey& LocalMachine() { return tree_->LocalMachine(); }
    // Follows or creates a key path under HKEY_LOCAL_MACHINE.
    RegistryKey& Key(std::string_view path) { return tree_->LocalMachine().Add(path); }

    // Every path asked for, in order, opened or not.
    std::vector<std::string> opens;
    int32_t RegOpenKeyA(RegKey key, const char* subKey, RegKey& result) override {
        opens.emplace_back(subKey ? subKey : "");
        return TreeRegistry::RegOpenKeyA(key, subKey, result);
    }

private:
    std::shared_ptr<RegistryTree> tree_ = std::make_shared<RegistryTree>();
};

}  // namespace velmora::testing
