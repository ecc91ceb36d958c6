#include "platform/win32/Win32Registry.h"

#include <windows.h>

namespace velmora {
namespace {

HKEY Native(RegKey key) { return reinterpret_cast<HKEY>(key); }

static_assert(sizeof(DWORD) == sizeof(uint32_t));

}  // namespace

int32_t Win32Registry::RegOpenKeyA(RegKey key, const char* subKey, RegKey& result) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyA(Native(key), subKey, &opened);
    if (status == ERROR_SUCCESS) result = reinterpret_cast<RegKey>(opened);
    return status;
}

int32_t Win32Registry::RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type, uint8_t* data,
                                        uint32_t* dataSize) {
    return ::RegQueryValueExA(Native(key), valueName, nullptr, reinterpret_cast<DWORD*>(type), data,
                              reinterpret_cast<DWORD*>(dataSize));
}

int32_t Win32Registry::RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) {
    return ::RegEnumKeyExA(Native(key), index, name, reinterpret_cast<DWORD*>(&nameSize), nullptr, nullptr, nullptr,
                           nullptr);
}

int32_t Win32Registry::RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) {
    return ::RegEnumValueA(Native(key), index, name, reinterpret_cast<DWORD*>(&nameSize), nullptr, nullptr, nullptr,
                           nullptr);
}

int32_t Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(Native(key)); }

}  // namespace velmora
