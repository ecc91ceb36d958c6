#include "com/Module.h"

#include <atomic>
#include <mutex>

#include "base/Mutex.h"

#include "com/Classes.h"
#include "com/ComRef.h"
#include "platform/win32/DllRuntime.h"

namespace velmora::com {
namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// The embedded type library and the type information of its dispatch interfaces,
// loaded on first use.
// The infos come first, so that clearing the whole releases them before the library.
struct LoadedTypes {
    ComRef<ITypeInfo> infos[2];  // _clsTarsin, _clsSoftWare
    ComRef<ITypeLib> library;
};
const IID* const kDispatchInterfaces[2] = {&IID__clsTarsin, &IID__clsSoftWare};

// Never destroyed with the DLL's other statics: at process exit the automation
// runtime may be gone before them. FreeLibrary releases the references (DllMain).
union KeptTypes {
    constexpr KeptTypes() : held() {}
    ~KeptTypes() {}
    LoadedTypes held;
};

Mutex g_typeLock;
constinit KeptTypes g_types;

}  // namespace

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }
void LockServer(bool lock) { lock ? ++g_locks : --g_locks; }

HRESULT ModulePath(wchar_t* path, DWORD size) {
    const DWORD length = ::GetModuleFileNameW(g_module, path, size);
    if (length == 0) return HRESULT_FROM_WIN32(::GetLastError());
    if (length >= size) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

HRESULT GetTypeInfoOf(REFIID iid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    size_t slot = 0;
    while (slot < 2 && !::IsEqualGUID(iid, *kDispatchInterfaces[slot])) ++slot;
    if (slot == 2) return TYPE_E_ELEMENTNOTFOUND;

    std::lock_guard guard(g_typeLock);
    LoadedTypes& types = g_types.held;
    if (!types.library) {
        wchar_t path[MAX_PATH];
        ITypeLib* library = nullptr;
        HRESULT result = ModulePath(path, MAX_PATH);
        if (SUCCEEDED(result)) result = ::LoadTypeLibEx(path, REGKIND_NONE, &library);
        if (FAILED(result)) return result;
        types.library.reset(library);
    }
    if (!types.infos[slot]) {
        ITypeInfo* loaded = nullptr;
        const HRESULT result = types.library->GetTypeInfoOfGuid(iid, &loaded);
        if (FAILED(result)) return result;
        types.infos[slot].reset(loaded);
    }
    *info = types.infos[slot].get();
    (*info)->AddRef();
    return S_OK;
}

}  // namespace velmora::com

using namespace velmora::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    // FreeLibrary, not process exit: the type library is still usable
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) g_types.held = LoadedTypes{};
    return velmora::dll::Notify(reason, reserved);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = FactoryOf(clsid);
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(iid, object);
}
