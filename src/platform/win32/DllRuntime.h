#pragma once
// What a DLL of ours must do in its DllMain so that the statically linked C++
// runtime keeps nothing once the DLL is freed (DllRuntime.cpp says what and why).
#include <windows.h>

namespace velmora::dll {

// False when the process has no TLS index left: the DLL then refuses to load.
bool ProcessAttach();
void ThreadDetach();
// `freed`: FreeLibrary, the host process lives on; otherwise the process is ending.
void ProcessDetach(bool freed);

}  // namespace velmora::dll
