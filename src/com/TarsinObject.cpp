// clsTarsin as hosts see it: each method of _clsTarsin is one line that hands the
// call to the facade (Call); which of them take an array comes from the method table.
#include <new>
#include <vector>

#include "com/Calls.h"
#include "com/Classes.h"
#include "com/DispatchObject.h"
#include "public/MethodTable.h"
#include "public/clsTarsin.h"

namespace velmora::com {
namespace {

// The interface identifier of the earlier build, recorded in the type library as
// the alias clsTarsin___v0; objects still answer queries for it.
constexpr IID kEarlierTarsinIid = {0x68a98870, 0x7da1, 0x4e55, {0xb9, 0xb0, 0xe6, 0xd5, 0x1c, 0x9d, 0xe1, 0xfc}};
const IID* const kEarlierIids[] = {&kEarlierTarsinIid};

// The methods whose one parameter is an array of String passed by reference.
std::vector<ArrayParameter> ArrayParameters() {
    std::vector<ArrayParameter> arrays;
    for (const MethodRow& row : TarsinMethods())
        if (row.argument == ArgumentKind::DriveList) arrays.push_back({row.dispid, 0});
    return arrays;
}

const std::vector<ArrayParameter> kArrays = ArrayParameters();
const ObjectIdentity kIdentity{{IID__clsTarsin, L"Velmora.clsTarsin"}, kEarlierIids, kArrays};

class TarsinObject final : public DispatchObject<_clsTarsin> {
public:
    TarsinObject() : DispatchObject(kIdentity) {}

    // One row per method, in slot order.
    STDMETHODIMP GetDiskSerialNumber(BSTR* a) override { return Call(a, &clsTarsin::GetDiskSerialNumber); }
    STDMETHODIMP GetInternetCardAddress(BSTR* a) override { return Call(a, &clsTarsin::GetInternetCardAddress); }
    STDMETHODIMP GetSoundCardId(BSTR* a) override { return Call(a, &clsTarsin::GetSoundCardId); }
    STDMETHODIMP GetSoundCardName(BSTR* a) override { return Call(a, &clsTarsin::GetSoundCardName); }
    STDMETHODIMP GetSoundCardChannel(BSTR* a) override { return Call(a, &clsTarsin::GetSoundCardChannel); }
    STDMETHODIMP GetSoundCardDwformats(BSTR* a) override { return Call(a, &clsTarsin::GetSoundCardDwformats); }
    STDMETHODIMP GetSoundCardDwsupport(BSTR* a) override { return Call(a, &clsTarsin::GetSoundCardDwsupport); }
    STDMETHODIMP GetCPUName(BSTR* a) override { return Call(a, &clsTarsin::GetCPUName); }
    STDMETHODIMP GetCPUManufacturer(BSTR* a) override { return Call(a, &clsTarsin::GetCPUManufacturer); }
    STDMETHODIMP GetOperatingSystemName(BSTR* a) override { return Call(a, &clsTarsin::GetOperatingSystemName); }
    STDMETHODIMP GetOperatingSystemVersion(BSTR* a) override { return Call(a, &clsTarsin::GetOperatingSystemVersion); }
    STDMETHODIMP GetIEVersion(BSTR* a) override { return Call(a, &clsTarsin::GetIEVersion); }
    STDMETHODIMP GetCPUModel(BSTR* a) override { return Call(a, &clsTarsin::GetCPUModel); }
    STDMETHODIMP GetPhysicsMemory(BSTR* a) override { return Call(a, &clsTarsin::GetPhysicsMemory); }
    STDMETHODIMP GetComputerName(BSTR* a) override { return Call(a, &clsTarsin::GetComputerName); }
    STDMETHODIMP GetComputerIP(BSTR* a) override { return Call(a, &clsTarsin::GetComputerIP); }
    STDMETHODIMP GetVirtualMemory(BSTR* a) override { return Call(a, &clsTarsin::GetVirtualMemory); }
    STDMETHODIMP GetDiskFreeSpace(BSTR strDrive, double* a) override { return Call(a, &clsTarsin::GetDiskFreeSpace, strDrive); }
    STDMETHODIMP GetDiskSpace(BSTR strDrive, double* a) override { return Call(a, &clsTarsin::GetDiskSpace, strDrive); }
    STDMETHODIMP GetDiskFATname(BSTR strDrive, BSTR* a) override { return Call(a, &clsTarsin::GetDiskFATname, strDrive); }
    STDMETHODIMP ChkSystemFdisk(BSTR strDisk, long* a) override { return Call(a, &clsTarsin::ChkSystemFdisk, strDisk); }
    STDMETHODIMP GetFixdDisk(SAFEARRAY** strDrive, VARIANT_BOOL* a) override { return CallWithArray(a, &clsTarsin::GetFixdDisk, strDrive); }
    STDMETHODIMP GetComputerDiskInfo(BSTR* a) override { return Call(a, &clsTarsin::GetComputerDiskInfo); }
    STDMETHODIMP GetComputerSoftWare(BSTR* a) override { return Call(a, &clsTarsin::GetComputerSoftWare); }

private:
    // A facade method with its arguments as the host passed them (BSTR becomes String).
    template <class Answer, class R, class... Parameters, class... Arguments>
    HRESULT Call(Answer* answer, R (clsTarsin::*method)(Parameters...), Arguments... arguments) {
        return RunCall(source(), answer, [&] { return (facade_.*method)(FromHost(arguments)...); });
    }
    // A facade method that fills and resizes an array of String.
    template <class Answer, class R, class Parameter>
    HRESULT CallWithArray(Answer* answer, R (clsTarsin::*method)(Parameter), SAFEARRAY** array) {
        return RunCallWithArray(source(), array, answer, [&](StringArrayRef items) { return (facade_.*method)(items); });
    }

    clsTarsin facade_;
};

}  // namespace

HRESULT CreateTarsin(REFIID iid, void** object) {
    auto* created = new (std::nothrow) TarsinObject();
    if (!created) return E_OUTOFMEMORY;
    const HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
}

}  // namespace velmora::com
