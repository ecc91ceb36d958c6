// A stranger's Corvel.dll, put where a library search would find it (the current
// folder, a folder on PATH): the component must never load it. It writes PLANTED.
#include <cstring>

extern "C" int __stdcall GetComputerIdCodeIn9X(char* buffer) {
    std::memcpy(buffer, "PLANTED", 7);
    return 7;
}

extern "C" int __stdcall GetComputerIdCodeInNT(char* buffer) {
    std::memcpy(buffer, "PLANTED", 7);
    return 7;
}
