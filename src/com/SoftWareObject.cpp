// clsSoftWare as hosts see it: its one method fills the host's array with the
// installed programs. A direct call writes no call-log entries.
#include <new>

#include "com/Calls.h"
#include "com/Classes.h"
#include "com/DispatchObject.h"
#include "registry/clsSoftWare.h"

namespace velmora::com {
namespace {

const ArrayParameter kArrays[] = {{0x60030000, 0}};  // GetComputerSoftWare(strSoftName)
const ObjectIdentity kIdentity{{IID__clsSoftWare, L"Velmora.clsSoftWare"}, {}, kArrays};

class SoftWareObject final : public DispatchObject<_clsSoftWare> {
public:
    SoftWareObject() : DispatchObject(kIdentity) {}

    STDMETHODIMP GetComputerSoftWare(SAFEARRAY** strSoftName, VARIANT_BOOL* a) override {
        return RunCallWithArray(source(), strSoftName, a, [](StringArrayRef names) {
            return clsSoftWare(DefaultPlatform()).GetComputerSoftWare(names);
        });
    }
};

}  // namespace

HRESULT CreateSoftWare(REFIID iid, void** object) {
    auto* created = new (std::nothrow) SoftWareObject();
    if (!created) return E_OUTOFMEMORY;
    const HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
}

}  // namespace velmora::com
