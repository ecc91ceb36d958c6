// The entry point of a DLL of ours that needs nothing at load but the runtime's own
// bookkeeping (Corvel.dll).
#include "platform/win32/DllRuntime.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    return velmora::dll::Notify(reason, reserved);
}
