#pragma once
// What a DLL of ours must do in its DllMain so that the statically linked C++
// runtime keeps nothing once the DLL is freed (DllRuntime.cpp says what and why).
#include <windows.h>

namespace velmora::dll {

// Called with every DllMain notification; the DLL's DllMain answers what this answers.
// FALSE at process attach when the process has no TLS index left: the DLL then
// refuses to load.
BOOL Notify(DWORD reason, LPVOID reserved);

}  // namespace velmora::dll
