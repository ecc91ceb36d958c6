#include "com/Classes.h"

#include <new>

#include "com/Module.h"

namespace velmora::com {
namespace {

// Static factories sharing one vtable; only the constructor they call differs.
// They live as long as the DLL, so their reference count is not kept.
class ClassFactory final : public IClassFactory {
public:
    using Create = HRESULT (*)(REFIID, void**);
    explicit ClassFactory(Create create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        com::LockServer(lock != FALSE);
        return S_OK;
    }

private:
    Create create_;
};

ClassFactory g_tarsinFactory(&CreateTarsin);
ClassFactory g_softWareFactory(&CreateSoftWare);

const ClassEntry kClasses[] = {
    {CLSID_clsTarsin, L"Velmora.clsTarsin", L"1.1", &g_tarsinFactory},
    {CLSID_clsSoftWare, L"Velmora.clsSoftWare", L"1.0", &g_softWareFactory},
};

}  // namespace

std::span<const ClassEntry> Classes() { return kClasses; }

IClassFactory* FactoryOf(REFCLSID clsid) {
    for (const ClassEntry& entry : kClasses)
        if (::IsEqualCLSID(clsid, entry.clsid)) return entry.factory;
    return nullptr;
}

}  // namespace velmora::com
