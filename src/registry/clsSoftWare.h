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
    // The same names written onto `joined`, each followed by "|", with the same answer
    // and failures: thousands of names make one text without a String each.
    bool JoinComputerSoftWare(String& joined);

private:
    // Hands `take` each view's reader, listing and entry index in list order; the
    // answer and failures are GetComputerSoftWare's.
    template <class Take>
    bool EachUninstallEntry(Take&& take);

    Platform& platform_;
};

}  // namespace velmora
