#include "platform/win32/Win32Registry.h"

#include <windows.h>

namespace velmora {
namespace {

HKEY Native(RegKey key) { return reinterpret_cast<HKEY>(key); }

static_assert(sizeof(DWORD) == sizeof(uint32_t));
static_assert(KEY_WOW64_64KEY == 0x100 && KEY_WOW64_32KEY == 0x200);

}  // namespace

int32_t Win32Registry::RegOpenKeyA(RegKey key, const char* subKey, RegKey& result, RegView view) {
    HKEY opened = nullptr;
    // Own keeps the plain call: Windows 2000 refuses the view flags, and one-view readers never need them.
    const LONG status =
        view == RegView::Own
            ? ::RegOpenKeyA(Native(key), subKey, &opened)
            : ::RegOpenKeyExA(Native(key), subKey, 0,
                              KEY_READ | (view == RegView::Wide64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY), &opened);
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

bool Win32Registry::HasTwoViews() {
#ifdef _WIN64
    return true;  // 64-bit code runs on 64-bit Windows only
#else
    // IsWow64Process came with XP SP2 and is looked up so the library still loads
    // before it; a kernel32 without it is 32-bit Windows.
    // A process never changes its width, so it is asked once.
    static const bool wow64Process = [] {
        using Call = BOOL(WINAPI*)(HANDLE, PBOOL);
        const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        const auto call =
            kernel ? reinterpret_cast<Call>(reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "IsWow64Process")))
                   : nullptr;
        BOOL wow64 = FALSE;
        return call != nullptr && call(::GetCurrentProcess(), &wow64) && wow64;
    }();
    return wow64Process;
#endif
}

}  // namespace velmora
