#pragma once
// Counters and text positions that the component keeps in 16 bits. Leaving the
// range raises Overflow (6), which the caller's error trap turns into its empty answer.
#include <cstdint>

#include "base/RuntimeError.h"

namespace velmora {

constexpr bool FitsInt16(int64_t value) { return value >= INT16_MIN && value <= INT16_MAX; }

inline int16_t ToInt16(int64_t value) {
    if (!FitsInt16(value)) Raise(Err::Overflow);
    return static_cast<int16_t>(value);
}

}  // namespace velmora
