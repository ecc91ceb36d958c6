#include "com/Module.h"

#include <atomic>
#include <mutex>

#include "base/Mutex.h"

#include "com/Classes.h"
#include "platform/win32/DllRuntime.h"

namespace velmora::com {
namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

Mutex g_typeLock;
ITypeLib* g_typeLib = nullptr;
ITypeInfo* g_typeInfos[2] = {};  // _clsTarsin, _clsSoftWare
const IID* const kDispatchInterfaces[2] = {&IID__clsTarsin, &IID__clsSoftWare};

void ReleaseTypeInfo() {
    for (ITypeInfo*& info : g_typeInfos)
        if (info) info->Release(), info = nullptr;
    if (g_typeLib) g_typeLib->Release(), g_typeLib = nullptr;
}

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
    if (!g_typeLib) {
        wchar_t path[MAX_PATH];
        HRESULT result = ModulePath(path, MAX_PATH);
        if (SUCCEEDED(result)) result = ::LoadTypeLibEx(path, REGKIND_NONE, &g_typeLib);
        if (FAILED(result)) return result;
    }
    if (!g_typeInfos[slot]) {
        const HRESULT result = g_typeLib->GetTypeInfoOfGuid(iid, &g_typeInfos[slot]);
        if (FAILED(result)) return result;
    }
    *info = g_typeInfos[slot];
    (*info)->AddRef();
    return S_OK;
}

}  // namespace velmora::com

using namespace velmora::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            g_module = instance;
            return velmora::dll::ProcessAttach();
        case DLL_THREAD_DETACH:
            velmora::dll::ThreadDetach();
            break;
        case DLL_PROCESS_DETACH:
            // FreeLibrary, not process exit: the type library is still usable
            if (reserved == nullptr) ReleaseTypeInfo();
            velmora::dll::ProcessDetach(reserved == nullptr);
            break;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = FactoryOf(clsid);
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(iid, object);
}
