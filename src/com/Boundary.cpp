#include "com/Boundary.h"

#include <climits>
#include <memory>
#include <new>
#include <optional>

#include "base/RuntimeError.h"
#include "com/ComRef.h"

namespace velmora::com {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "BSTR and String share the UTF-16 unit");

const wchar_t* Wide(const String& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

struct ArrayDestroy {
    void operator()(SAFEARRAY* array) const { ::SafeArrayDestroy(array); }
};
using OwnedArray = std::unique_ptr<SAFEARRAY, ArrayDestroy>;

// SafeArrayAccessData for one scope; the lock it takes is released on every path.
class ArrayData {
public:
    explicit ArrayData(SAFEARRAY* array) : array_(array) {
        if (FAILED(::SafeArrayAccessData(array_, &data_))) array_ = nullptr;
    }
    ~ArrayData() {
        if (array_) ::SafeArrayUnaccessData(array_);
    }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;
    bool ok() const { return array_ != nullptr; }
    template <class T>
    T* as() const { return static_cast<T*>(data_); }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

bool HasElementType(SAFEARRAY* array, VARTYPE wanted) {
    VARTYPE type = VT_EMPTY;
    if (SUCCEEDED(::SafeArrayGetVartype(array, &type))) return type == wanted;
    return false;
}

HRESULT CheckElementType(SAFEARRAY* array, VARTYPE elementType, ULONG elementSize) {
    if (!HasElementType(array, elementType) || array->cbElements != elementSize) return DISP_E_TYPEMISMATCH;
    return S_OK;
}

// Why a ReDim Preserve of the host's array would fail, if it would: only a dynamic,
// unlocked, one-dimensional array based at 0 can be resized.
std::optional<Err> ResizeRefusal(SAFEARRAY* array) {
    if (array->fFeatures & (FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED | FADF_AUTO)) return Err::ArrayFixedOrLocked;
    if (array->cLocks != 0) return Err::ArrayFixedOrLocked;
    if (array->cDims != 1 || array->rgsabound[0].lLbound != 0) return Err::SubscriptOutOfRange;
    return std::nullopt;
}

HRESULT ReadElements(SAFEARRAY* array, VARTYPE elementType, std::vector<String>& items) {
    const ULONG count = array->rgsabound[0].cElements;
    ArrayData data(array);
    if (!data.ok()) return E_UNEXPECTED;
    items.clear();
    items.reserve(count);
    for (ULONG i = 0; i < count; ++i) {
        if (elementType == VT_BSTR) {
            items.push_back(FromBstr(data.as<BSTR>()[i]));
            continue;
        }
        const VARIANT& element = data.as<VARIANT>()[i];
        if (V_VT(&element) == VT_BSTR)
            items.push_back(FromBstr(V_BSTR(&element)));
        else if (V_VT(&element) == VT_EMPTY)
            items.emplace_back();
        else {
            items.clear();
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

HRESULT Read(SAFEARRAY* array, VARTYPE elementType, ULONG elementSize, HostArray& read) {
    read = HostArray{};
    if (!array) return S_OK;  // a dynamic array that was never dimensioned
    const HRESULT checked = CheckElementType(array, elementType, elementSize);
    if (FAILED(checked)) return checked;
    // An array the callee cannot resize reaches it all the same: its first resize
    // fails there, as the method's own error handling expects.
    read.refusal = ResizeRefusal(array);
    if (read.refusal) return S_OK;
    try {
        return ReadElements(array, elementType, read.items);
    } catch (const std::bad_alloc&) {
        read.items.clear();
        return E_OUTOFMEMORY;
    }
}

// A new zero-based array of `items`, elements of type BSTR or VARIANT (holding BSTR).
HRESULT Build(const std::vector<String>& items, VARTYPE elementType, OwnedArray& built) {
    if (items.size() > static_cast<size_t>(LONG_MAX)) return E_OUTOFMEMORY;
    OwnedArray array(::SafeArrayCreateVector(elementType, 0, static_cast<ULONG>(items.size())));
    if (!array) return E_OUTOFMEMORY;
    {
        ArrayData data(array.get());
        if (!data.ok()) return E_OUTOFMEMORY;
        for (size_t i = 0; i < items.size(); ++i) {
            BSTR text = nullptr;
            if (FAILED(ToBstr(items[i], &text))) return E_OUTOFMEMORY;
            if (elementType == VT_BSTR) {
                data.as<BSTR>()[i] = text;
            } else {
                V_VT(&data.as<VARIANT>()[i]) = VT_BSTR;
                V_BSTR(&data.as<VARIANT>()[i]) = text;
            }
        }
    }
    built = std::move(array);
    return S_OK;
}

// Builds the new array first, so a failure leaves the host's array as it was.
HRESULT Replace(const std::vector<String>& items, SAFEARRAY** array, VARTYPE elementType, ULONG elementSize) {
    if (!array) return E_POINTER;
    if (*array) {
        const HRESULT checked = CheckElementType(*array, elementType, elementSize);
        if (FAILED(checked)) return checked;
        if (const auto refusal = ResizeRefusal(*array)) return ErrorNumberResult(static_cast<int32_t>(*refusal));
    }
    OwnedArray built;
    const HRESULT made = Build(items, elementType, built);
    if (FAILED(made)) return made;
    OwnedArray old(*array);
    *array = built.release();
    return S_OK;
}

}  // namespace

String FromBstr(BSTR text) {
    if (!text) return String();
    return String(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
}

HRESULT ToBstr(const String& text, BSTR* out) {
    if (text.size() > static_cast<size_t>(UINT_MAX / sizeof(wchar_t) - 1)) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    *out = ::SysAllocStringLen(Wide(text), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ErrorNumberResult(int32_t number) {
    if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    if (number < 0) return static_cast<HRESULT>(number);  // already a failure code of its own
    return E_FAIL;  // 0 and numbers past 16 bits have no control-facility form
}

HRESULT ReadStringArray(SAFEARRAY** array, HostArray& read) {
    if (!array) return E_POINTER;
    return Read(*array, VT_BSTR, sizeof(BSTR), read);
}

HRESULT WriteStringArray(const std::vector<String>& items, SAFEARRAY** array) {
    return Replace(items, array, VT_BSTR, sizeof(BSTR));
}

HRESULT ReadVariantArray(SAFEARRAY** array, HostArray& read) {
    if (!array) return E_POINTER;
    return Read(*array, VT_VARIANT, sizeof(VARIANT), read);
}

HRESULT MakeRefusingArray(Err refusal, SAFEARRAY** made) {
    SAFEARRAYBOUND bounds[2] = {{1, 0}, {1, 0}};
    *made = refusal == Err::ArrayFixedOrLocked ? ::SafeArrayCreateVector(VT_BSTR, 0, 1)
                                               : ::SafeArrayCreate(VT_BSTR, 2, bounds);
    if (!*made) return E_OUTOFMEMORY;
    if (refusal == Err::ArrayFixedOrLocked) (*made)->fFeatures |= FADF_FIXEDSIZE;
    return S_OK;
}

void DestroyArray(SAFEARRAY* array) {
    if (!array) return;
    array->fFeatures &= ~FADF_FIXEDSIZE;  // our own stand-in; its data goes with it
    ::SafeArrayDestroy(array);
}

HRESULT WriteVariantArray(const std::vector<String>& items, SAFEARRAY** array) {
    return Replace(items, array, VT_VARIANT, sizeof(VARIANT));
}

HRESULT Fail(const ErrorSource& source, HRESULT result, const String& description) {
    ICreateErrorInfo* created = nullptr;
    if (FAILED(::CreateErrorInfo(&created))) return result;
    const ComRef<ICreateErrorInfo> create(created);
    create->SetGUID(source.iid);
    create->SetSource(const_cast<LPOLESTR>(source.progId));
    create->SetDescription(const_cast<LPOLESTR>(Wide(description)));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))))
        ::SetErrorInfo(0, ComRef<IErrorInfo>(info).get());  // it takes a reference of its own
    return result;
}

namespace {

String BoundaryDescription(HRESULT result) {
    switch (result) {
        case E_POINTER: return FromAscii("A required pointer argument is null");
        case E_OUTOFMEMORY: return StandardDescription(static_cast<int32_t>(Err::OutOfMemory));
        case DISP_E_TYPEMISMATCH: return FromAscii("Type mismatch: an array of String is required");
        default: return FromAscii("Invalid argument");
    }
}

}  // namespace

HRESULT FailAtBoundary(const ErrorSource& source, HRESULT result) {
    return Fail(source, result, BoundaryDescription(result));
}

HRESULT ReportToInvoker(const ErrorSource& source, HRESULT result, EXCEPINFO* exception) {
    if (!exception) return result;
    *exception = EXCEPINFO{};
    exception->scode = result;
    ToBstr(BoundaryDescription(result), &exception->bstrDescription);
    exception->bstrSource = ::SysAllocString(source.progId);
    return DISP_E_EXCEPTION;
}

HRESULT FailFromException(const ErrorSource& source) {
    const HostError error = ErrorFromException(std::current_exception());
    return Fail(source, ErrorNumberResult(error.number), error.description);
}

}  // namespace velmora::com
