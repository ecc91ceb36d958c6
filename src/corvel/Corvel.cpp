// The two exports hosts and Tarsin call: each writes the machine's identity code
// in place into the caller's blank-filled ANSI buffer, as much as fits, and leaves
// it untouched when the machine has no identity. The answer is the number of
// characters written; callers ignore it.
#include <cstdint>

#include "corvel/CorvelIdentity.h"

#if defined(_WIN32)
// Corvel.def exports the undecorated names.
#define CORVEL_API extern "C"
#define CORVEL_CALL __stdcall
#else
#define CORVEL_API extern "C" __attribute__((visibility("default")))
#define CORVEL_CALL
#endif

namespace {

int32_t WriteCode(char* buffer) {
    try {
        const auto identity = corvel::MachineIdentity();
        return identity ? corvel::WriteInPlace(buffer, corvel::IdentityCode(*identity)) : 0;
    } catch (...) {
        return 0;  // nothing may cross into the caller
    }
}

}  // namespace

CORVEL_API int32_t CORVEL_CALL GetComputerIdCodeIn9X(char* buffer) { return WriteCode(buffer); }

CORVEL_API int32_t CORVEL_CALL GetComputerIdCodeInNT(char* buffer) { return WriteCode(buffer); }
