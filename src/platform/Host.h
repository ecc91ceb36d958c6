#pragma once
// Host family: what the component learns from the process and user it runs in.
#include <cstdint>

#include "base/String.h"

namespace velmora {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class IHost {
public:
    virtual ~IHost() = default;
    // The folder of the loaded library file (not the host program's), without a
    // trailing separator unless it is a root such as "C:\".
    virtual String ModuleFolder() = 0;
    // The folder the call log is written in: the component's own, unless the build
    // fixed another for installed copies of the library.
    virtual String LogFolder() { return ModuleFolder(); }
    virtual LocalTime Now() = 0;
    // The decimal separator of the user's number settings.
    virtual String DecimalSeparator() = 0;
    // The thousands separator of the user's number settings.
    virtual String ThousandsSeparator() = 0;
    // Lets the host's thread process its pending window messages.
    virtual void ProcessPendingMessages() = 0;
};

}  // namespace velmora
