#pragma once
// What the statically linked C++ runtime takes when one of our DLLs loads and does
// not give back by itself: libstdc++ sets aside an emergency pool for exceptions
// thrown while memory is short (a malloc at load, its first page written) and frees
// it only on request. The host process outlives a FreeLibrary, so each DLL hands the
// pool back when it is unloaded.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres();
}  // namespace __gnu_cxx
#endif

namespace velmora {

// For DLL_PROCESS_DETACH on FreeLibrary, when none of the DLL's code runs again.
inline void ReleaseRuntimeAtUnload() {
#if defined(__GLIBCXX__)
    __gnu_cxx::__freeres();
#endif
}

}  // namespace velmora
