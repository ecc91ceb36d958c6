#pragma once
// The shared half of every object of Tarsin.dll: reference counting, the
// interface queries, ISupportErrorInfo, and IDispatch as four delegations to the
// type information of the embedded library (the dual vtable does the work).
#include <atomic>
#include <span>

#include "com/Boundary.h"
#include "com/Module.h"

namespace velmora::com {

// A method's array of String passed by reference; a script host's array of Variants
// for it is converted on the way in and out.
struct ArrayParameter {
    DISPID method;
    UINT position;
};

struct ObjectIdentity {
    ErrorSource source;                          // the dispatch interface and ProgID
    std::span<const IID* const> earlierIids;     // further identifiers the interface answers to
    std::span<const ArrayParameter> arrays;
};

template <class Interface>
class DispatchObject : public Interface, public ISupportErrorInfo {
public:
    explicit DispatchObject(const ObjectIdentity& identity) : identity_(identity) { ObjectCreated(); }
    virtual ~DispatchObject() { ObjectDestroyed(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) || IsOwnInterface(iid))
            *object = static_cast<Interface*>(this);
        else if (::IsEqualIID(iid, IID_ISupportErrorInfo))
            *object = static_cast<ISupportErrorInfo*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return GetTypeInfoOf(identity_.source.iid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        TypeInfo info(identity_.source.iid);
        if (FAILED(info.result)) return info.result;
        return ::DispGetIDsOfNames(info.get, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
        if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        TypeInfo info(identity_.source.iid);
        if (FAILED(info.result)) return info.result;
        Interface* self = this;
        const ScriptArray hostArray = ScriptArrayArgument(id, params);
        const HRESULT status =
            hostArray.slot
                ? InvokeWithScriptArray(info.get, self, id, flags, params, result, exception, argumentError, hostArray)
                : info.get->Invoke(self, id, flags, params, result, exception, argumentError);
        // A failed call leaves no half-typed answer behind (Wine's Invoke types it anyway).
        if (FAILED(status) && result) ::VariantClear(result);
        return status;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsOwnInterface(iid) ? S_OK : S_FALSE;
    }

protected:
    const ErrorSource& source() const { return identity_.source; }

private:
    struct TypeInfo {
        explicit TypeInfo(REFIID iid) : result(GetTypeInfoOf(iid, &get)) {}
        ~TypeInfo() {
            if (get) get->Release();
        }
        ITypeInfo* get = nullptr;
        HRESULT result;
    };

    bool IsOwnInterface(REFIID iid) const {
        if (::IsEqualIID(iid, identity_.source.iid)) return true;
        for (const IID* earlier : identity_.earlierIids)
            if (::IsEqualIID(iid, *earlier)) return true;
        return false;
    }

    // Where a script's array, passed by reference for an array parameter, keeps its
    // SAFEARRAY pointer. Scripts pass a reference to their variable, which holds the
    // array itself or (Wine's VBScript) a reference to it.
    struct ScriptArray {
        SAFEARRAY** slot = nullptr;
        VARTYPE elementType = VT_EMPTY;
        size_t argument = 0;
    };
    ScriptArray ScriptArrayArgument(DISPID id, DISPPARAMS* params) const {
        if (!params || !params->rgvarg) return {};
        for (const ArrayParameter& parameter : identity_.arrays) {
            if (parameter.method != id) continue;
            VARIANTARG* argument = FindArgument(*params, parameter.position);
            if (!argument) return {};
            const size_t index = static_cast<size_t>(argument - params->rgvarg);
            VARIANT* held = argument;
            if (V_VT(argument) == (VT_BYREF | VT_VARIANT)) {
                held = V_VARIANTREF(argument);
                if (!held) return {};
            }
            const VARTYPE type = V_VT(held);
            const VARTYPE element = type & VT_TYPEMASK;
            if (!(type & VT_ARRAY) || (element != VT_VARIANT && element != VT_BSTR)) return {};
            if (type & VT_BYREF) {
                // A compiled host's own typed array goes to the type information unchanged.
                if (held == argument && element == VT_BSTR) return {};
                return {V_ARRAYREF(held), element, index};
            }
            if (held == argument) return {};  // an array passed by value cannot come back
            return {&V_ARRAY(held), element, index};
        }
        return {};
    }

    static VARIANTARG* FindArgument(const DISPPARAMS& params, UINT position) {
        for (UINT i = 0; i < params.cNamedArgs && params.rgdispidNamedArgs; ++i)
            if (params.rgdispidNamedArgs[i] == static_cast<DISPID>(position)) return &params.rgvarg[i];
        // Positional arguments follow the named ones, last argument first.
        if (position >= params.cArgs || params.cArgs - 1 - position < params.cNamedArgs) return nullptr;
        return &params.rgvarg[params.cArgs - 1 - position];
    }

    HRESULT InvokeWithScriptArray(ITypeInfo* info, Interface* self, DISPID id, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argumentError,
                                  const ScriptArray& hostArray);

    const ObjectIdentity& identity_;
    std::atomic<ULONG> references_{1};
};

template <class Interface>
HRESULT DispatchObject<Interface>::InvokeWithScriptArray(ITypeInfo* info, Interface* self, DISPID id, WORD flags,
                                                         DISPPARAMS* params, VARIANT* result,
                                                         EXCEPINFO* exception, UINT* argumentError,
                                                         const ScriptArray& hostArray) {
    const auto read = hostArray.elementType == VT_BSTR ? &ReadStringArray : &ReadVariantArray;
    const auto write = hostArray.elementType == VT_BSTR ? &WriteStringArray : &WriteVariantArray;
    HostArray host;
    SAFEARRAY* typed = nullptr;
    HRESULT status = read(hostArray.slot, host);
    if (SUCCEEDED(status))
        status = host.refusal ? MakeRefusingArray(*host.refusal, &typed) : WriteStringArray(host.items, &typed);
    if (FAILED(status)) {
        DestroyArray(typed);
        if (status == DISP_E_TYPEMISMATCH && argumentError)
            *argumentError = static_cast<UINT>(hostArray.argument);
        return status == DISP_E_TYPEMISMATCH ? status : ReportToInvoker(identity_.source, status, exception);
    }

    std::vector<VARIANTARG> arguments(params->rgvarg, params->rgvarg + params->cArgs);
    V_VT(&arguments[hostArray.argument]) = VT_BYREF | VT_ARRAY | VT_BSTR;
    V_ARRAYREF(&arguments[hostArray.argument]) = &typed;
    DISPPARAMS converted = *params;
    converted.rgvarg = arguments.data();
    status = info->Invoke(self, id, flags, &converted, result, exception, argumentError);
    if (SUCCEEDED(status) && !host.refusal) {
        // The method may have resized the array; the host gets it back in its own kind.
        HostArray back;
        HRESULT returned = ReadStringArray(&typed, back);
        if (SUCCEEDED(returned)) returned = write(back.items, hostArray.slot);
        if (FAILED(returned)) {
            if (result) ::VariantClear(result);
            status = ReportToInvoker(identity_.source, returned, exception);
        }
    }
    DestroyArray(typed);
    return status;
}

}  // namespace velmora::com
