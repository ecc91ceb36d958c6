#pragma once
// The one conversion point between automation types and the component's own:
// BSTR <-> String, VARIANT_BOOL <-> bool, arrays of String passed by reference
// <-> std::vector<String>, and failures -> HRESULT with IErrorInfo.
#include <cstdint>
#include <optional>
#include <vector>

#include "base/RuntimeError.h"
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

// A host's array of String passed by reference, as the callee gets it: its
// elements, and the run-time error its resize raises when the host's array cannot
// be resized (fixed-size or locked: 10; two dimensions or not based at 0: 9).
struct HostArray {
    std::vector<String> items;
    std::optional<Err> refusal;
};

// Reads an array of String passed by reference (SAFEARRAY(BSTR)*) element by
// element. A null *array (a dynamic array never dimensioned) reads as no elements;
// an array that cannot be resized reads as its refusal, without elements.
// Errors: E_POINTER (null pointer), DISP_E_TYPEMISMATCH (not BSTR elements).
HRESULT ReadStringArray(SAFEARRAY** array, HostArray& read);
// Replaces *array by a new zero-based array holding `items`; on failure the
// host's array is left as it was.
HRESULT WriteStringArray(const std::vector<String>& items, SAFEARRAY** array);

// The same for an array of Variants (a script's arrays): elements must be strings
// or Empty, and the replacement holds strings.
HRESULT ReadVariantArray(SAFEARRAY** array, HostArray& read);
HRESULT WriteVariantArray(const std::vector<String>& items, SAFEARRAY** array);

// A typed array of String that refuses a resize as a host's array did, to stand in
// for a script's array on the way through the type information; DestroyArray ends it.
HRESULT MakeRefusingArray(Err refusal, SAFEARRAY** made);
void DestroyArray(SAFEARRAY* array);

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
// Maps the exception being handled (call only inside a catch block) as the CLI does:
// a RuntimeError keeps its number and description, bad_alloc is error 7, anything
// else error 51.
HRESULT FailFromException(const ErrorSource& source);

}  // namespace velmora::com
