#pragma once
// The fake registry: the shared in-memory tree, which each test fills; and, once a
// test fills it, a second tree for the 32-bit view of a 64-bit machine.
#include <memory>
#include <string>
#include <vector>

#include "platform/common/RegistryTree.h"

namespace velmora::testing {

class FakeRegistry final : public TreeRegistry {
public:
    FakeRegistry() : TreeRegistry([this] { return std::shared_ptr<const RegistryTree>(tree_, tree_.get()); }) {}

    RegistryKey& LocalMachine() { return tree_->LocalMachine(); }
    // Follows or creates a key path under HKEY_LOCAL_MACHINE (the own and 64-bit view).
    RegistryKey& Key(std::string_view path) { return tree_->LocalMachine().Add(path); }
    // The same in the 32-bit view; the first call gives the fake its second view.
    RegistryKey& Key32(std::string_view path) {
        if (!wow32_) wow32_ = std::make_shared<RegistryTree>();
        return wow32_->LocalMachine().Add(path);
    }

    // Every path asked for, in order, opened or not.
    std::vector<std::string> opens;
    int32_t RegOpenKeyA(RegKey key, const char* subKey, RegKey& result, RegView view = RegView::Own) override {
        opens.emplace_back(subKey ? subKey : "");
        return TreeRegistry::RegOpenKeyA(key, subKey, result, view);
    }
    int32_t RegQuerySubkeyValueA(RegKey key, const char* subKey, const char* valueName, uint32_t* type, uint8_t* data,
                                 uint32_t* dataSize, RegView view = RegView::Own) override {
        opens.emplace_back(subKey ? subKey : "");
        return TreeRegistry::RegQuerySubkeyValueA(key, subKey, valueName, type, data, dataSize, view);
    }
    bool HasTwoViews() override { return wow32_ != nullptr; }

protected:
    std::shared_ptr<const RegistryTree> ViewTree(RegView view) override {
        return view == RegView::Wow32 && wow32_ ? wow32_ : TreeRegistry::ViewTree(view);
    }

private:
    std::shared_ptr<RegistryTree> tree_ = std::make_shared<RegistryTree>();
    std::shared_ptr<RegistryTree> wow32_;
};

}  // namespace velmora::testing
