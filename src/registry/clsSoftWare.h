#pragma once
// The installed programs: the display names of the machine-wide uninstall entries,
// in the registry's enumeration order, without filtering, sorting or merging duplicates.
#include <vector>

#include "base/String.h"
#include "base/StringArray.h"
#include "platform/Platform.h"

namespace velmora {

inline const String kUninstallRoot = FromAscii(kRegUninstallKey);

class clsSoftWare {
public:
    explicit clsSoftWare(Platform& platform) : platform_(platform) {}

    // Fills strSoftName[1..n] with the display names (index 0 is kept, everything
    // else dropped first); on 64-bit Windows those of the 64-bit view, then those of
    // the 32-bit view, each read in its own view. True when an uninstall root could
    // be read, even if it lists nothing. Catches nothing: more than 32,767 uninstall
    // subkeys (over both views) are beyond its 16-bit counters and fail with
    // Overflow, and an array the host will not let it resize fails with the error
    // that refusal raises.
    bool GetComputerSoftWare(StringArrayRef strSoftName);

private:
    Platform& platform_;
};

}  // namespace velmora
