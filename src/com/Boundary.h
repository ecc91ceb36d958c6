#pragma once
// The one conversion point between automation types and the component's own:
// BSTR <-> String, VARIANT_BOOL <-> bool, arrays of String passed by reference
// <-> std::vector<String>, and failures -> HRESULT with IErrorInfo.
#include <cstdint>
#include <vector>

#include "base/String.h"
#include "com/ComHeaders.h"

namespace velmora::com {

// A null BSTR is the empty string; embedded NULs are kept.
String FromBstr(BSTR text);
// A new BSTR of the text; E_OUTOFMEMORY if it cannot be made (then *out is null).
HRESULT ToBstr(const String& text, BSTR* out);
inline VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// HRESULT of a host-facing error number: 0x800A0000 + number for 1..65535.
HRESULT ErrorNumberResult(int32_t number);
// What a host sees for an array that the callee may not resize (error 10).
constexpr HRESULT kArrayFixedOrLocked = static_cast<HRESULT>(0x800A000A);

// Reads an array of String passed by reference (SAFEARRAY(BSTR)*) into `items`,
// element by element from its lower bound. The array must be one that the callee
// may resize: one dimension, element type BSTR, neither fixed-size nor locked.
// A null *array (a dynamic array never dimensioned) reads as no elements.
// Errors: E_POINTER (null pointer), DISP_E_TYPEMISMATCH (not BSTR elements),
// E_INVALIDARG (not one dimension), kArrayFixedOrLocked.
HRESULT ReadStringArray(SAFEARRAY** array, std::vector<String>& items);
// Replaces *array by a new zero-based array holding `items`; on failure the
// host's array is left as it was.
HRESULT WriteStringArray(const std::vector<String>& items, SAFEARRAY** array);

// The same for an array of Variants (a script's arrays): elements must be strings
// or Empty, and the replacement holds strings.
HRESULT ReadVariantArray(SAFEARRAY** array, std::vector<String>& items);
HRESULT WriteVariantArray(const std::vector<String>& items, SAFEARRAY** array);

// Where a failure is reported from: the interface and the ProgID shown as Source.
struct ErrorSource {
    const IID& iid;
    const wchar_t* progId;
};

// Records the description as the thread's IErrorInfo and answers `result`.
HRESULT Fail(const ErrorSource& source, HRESULT result, const String& description);
// Fail with the description of a misuse found at the boundary (a null pointer, the
// wrong kind of array, ...).
HRESULT FailAtBoundary(const ErrorSource& source, HRESULT result);
// The same for IDispatch::Invoke before the method runs: fills EXCEPINFO when the
// host gave one and answers DISP_E_EXCEPTION, else answers `result` itself.
HRESULT ReportToInvoker(const ErrorSource& source, HRESULT result, EXCEPINFO* exception);
// Maps the exception being handled (call only inside a catch block): a RuntimeError
// keeps its number and description, bad_alloc is error 7, anything else E_UNEXPECTED.
HRESULT FailFromException(const ErrorSource& source);

}  // namespace velmora::com
