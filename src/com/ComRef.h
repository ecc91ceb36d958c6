#pragma once
// One reference to a COM interface, released when its owner goes.
#include <memory>

#include "com/ComHeaders.h"

namespace velmora::com {

struct ReleaseReference {
    void operator()(IUnknown* reference) const { reference->Release(); }
};

template <class Interface>
using ComRef = std::unique_ptr<Interface, ReleaseReference>;

}  // namespace velmora::com
