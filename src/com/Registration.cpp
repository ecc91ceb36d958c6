// DllRegisterServer / DllUnregisterServer: both classes under HKEY_CLASSES_ROOT and
// the embedded type library. Unregistration removes exactly those entries.
#include <string>
#include <vector>

#include "com/Classes.h"
#include "com/ComRef.h"
#include "com/Module.h"

namespace velmora::com {
namespace {

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_) ::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

HRESULT SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    Key key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                       key.out(), nullptr);
    if (status == ERROR_SUCCESS) {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        status = ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    }
    return HRESULT_FROM_WIN32(status);
}

std::wstring ReadDefault(const std::wstring& path) {
    wchar_t value[64] = {};
    LONG size = sizeof value - sizeof(wchar_t);
    if (::RegQueryValueW(HKEY_CLASSES_ROOT, path.c_str(), value, &size) != ERROR_SUCCESS) return std::wstring();
    return value;
}

// RegDeleteTree came with Vista and the DLL also registers on XP: the subkeys go
// first, deepest first, then the key itself. Class keys are a few levels deep.
void DeleteTree(HKEY parent, const std::wstring& path, int depth = 0) {
    if (depth > 16) return;
    std::vector<std::wstring> children;
    {
        Key key;
        if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return;
        // Names first, deletions after: deleting while enumerating shifts the indices.
        wchar_t name[256];
        DWORD length = 256;
        for (DWORD i = 0; ::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_SUCCESS;
             ++i, length = 256)
            children.emplace_back(name, length);
    }
    for (const std::wstring& child : children) DeleteTree(parent, path + L"\\" + child, depth + 1);
    ::RegDeleteKeyW(parent, path.c_str());
}

void DeleteTree(const std::wstring& path) { DeleteTree(HKEY_CLASSES_ROOT, path); }

HRESULT WriteClassKeys(const ClassEntry& entry, const std::wstring& modulePath) {
    const std::wstring clsid = GuidText(entry.clsid);
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring progIdKey = entry.progId;
    const struct {
        std::wstring path;
        const wchar_t* name;
        std::wstring value;
    } values[] = {
        {progIdKey, nullptr, entry.progId},
        {progIdKey + L"\\Clsid", nullptr, clsid},
        {classKey, nullptr, entry.progId},
        {classKey + L"\\InprocServer32", nullptr, modulePath},
        {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classKey + L"\\ProgID", nullptr, entry.progId},
        {classKey + L"\\VERSION", nullptr, entry.version},
        {classKey + L"\\TypeLib", nullptr, GuidText(LIBID_Velmora)},
    };
    for (const auto& value : values) {
        const HRESULT result = SetValue(value.path, value.name, value.value);
        if (FAILED(result)) return result;
    }
    return S_OK;
}

// The other width's build of this DLL, registered in the other registry view. 64-bit
// Windows 7 and later share ProgIDs between the views but keep class keys apart.
// Without a second view (32-bit Windows) this looks at the one view again.
bool OtherWidthRegistered(const std::wstring& clsid) {
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    Key key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid + L"\\InprocServer32").c_str(), 0,
                           KEY_READ | otherView, key.out()) == ERROR_SUCCESS;
}

void RemoveClassKeys(const ClassEntry& entry) {
    const std::wstring clsid = GuidText(entry.clsid);
    DeleteTree(L"CLSID\\" + clsid);
    // The ProgID goes only while it still names this class (another server may have
    // taken it) and no other width's DLL still serves the class through it.
    if (ReadDefault(std::wstring(entry.progId) + L"\\Clsid") == clsid && !OtherWidthRegistered(clsid))
        DeleteTree(entry.progId);
}

HRESULT RegisterTypeLibrary(const wchar_t* modulePath) {
    ITypeLib* loaded = nullptr;
    const HRESULT result = ::LoadTypeLibEx(modulePath, REGKIND_NONE, &loaded);
    if (FAILED(result)) return result;
    const ComRef<ITypeLib> library(loaded);
    return ::RegisterTypeLib(library.get(), const_cast<wchar_t*>(modulePath), nullptr);
}

}  // namespace
}  // namespace velmora::com

using namespace velmora::com;

STDAPI DllUnregisterServer() {
    for (const ClassEntry& entry : Classes()) RemoveClassKeys(entry);
    // A library that is not registered is nothing to remove (Wine's UnRegisterTypeLib
    // would call that E_INVALIDARG).
    BSTR registered = nullptr;
    if (FAILED(::QueryPathOfRegTypeLib(LIBID_Velmora, 1, 1, LOCALE_NEUTRAL, &registered))) return S_OK;
    ::SysFreeString(registered);
    // Each width registers and removes its own entry; the other build's stays.
    return ::UnRegisterTypeLib(LIBID_Velmora, 1, 1, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    HRESULT result = ModulePath(path, MAX_PATH);
    for (const ClassEntry& entry : Classes())
        if (SUCCEEDED(result)) result = WriteClassKeys(entry, path);
    if (SUCCEEDED(result)) result = RegisterTypeLibrary(path);
    if (FAILED(result)) DllUnregisterServer();  // leave nothing half-written
    return result;
}
