#pragma once
// How one method of an object reaches the component: the answer is preset to its
// empty value, the call runs, and its answer or its failure crosses the boundary.
#include <vector>

#include "base/StringArray.h"
#include "com/Boundary.h"

namespace velmora::com {

inline void Clear(BSTR* answer) { *answer = nullptr; }
inline void Clear(double* answer) { *answer = 0; }
inline void Clear(long* answer) { *answer = 0; }
inline void Clear(VARIANT_BOOL* answer) { *answer = VARIANT_FALSE; }

inline HRESULT Store(const String& value, BSTR* answer) { return ToBstr(value, answer); }
inline HRESULT Store(double value, double* answer) { return *answer = value, S_OK; }
inline HRESULT Store(int32_t value, long* answer) { return *answer = value, S_OK; }
inline HRESULT Store(bool value, VARIANT_BOOL* answer) { return *answer = ToVariantBool(value), S_OK; }

inline String FromHost(BSTR text) { return FromBstr(text); }

template <class Answer, class Work>
HRESULT RunCall(const ErrorSource& source, Answer* answer, Work&& work) {
    if (!answer) return FailAtBoundary(source, E_POINTER);
    Clear(answer);
    try {
        const HRESULT stored = Store(work(), answer);
        return FAILED(stored) ? FailAtBoundary(source, stored) : S_OK;
    } catch (...) {
        return FailFromException(source);
    }
}

// The array's type is checked before the call (a host's wrong type never reaches
// the component), and the host's array is replaced by the resized one only when
// the call succeeded. An array the host will not let be resized reaches the method,
// whose first resize fails, and is left as it was.
template <class Answer, class Work>
HRESULT RunCallWithArray(const ErrorSource& source, SAFEARRAY** array, Answer* answer, Work&& work) {
    if (!answer) return FailAtBoundary(source, E_POINTER);
    Clear(answer);
    HostArray host;
    HRESULT status = ReadStringArray(array, host);
    if (FAILED(status)) return FailAtBoundary(source, status);
    try {
        auto value = work(StringArrayRef(host.items, host.refusal));
        status = host.refusal ? S_OK : WriteStringArray(host.items, array);
        if (SUCCEEDED(status)) status = Store(value, answer);
        return FAILED(status) ? FailAtBoundary(source, status) : S_OK;
    } catch (...) {
        return FailFromException(source);
    }
}

}  // namespace velmora::com
