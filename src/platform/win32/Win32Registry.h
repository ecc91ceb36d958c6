#pragma once
// The real registry, through the ANSI functions.
#include "platform/Registry.h"

namespace velmora {

class Win32Registry final : public IRegistry {
public:
    int32_t RegOpenKeyA(RegKey key, const char* subKey, RegKey& result, RegView view = RegView::Own) override;
    int32_t RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type, uint8_t* data,
                             uint32_t* dataSize) override;
    int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) override;
    int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) override;
    int32_t RegCloseKey(RegKey key) override;
    bool HasTwoViews() override;
};

}  // namespace velmora
