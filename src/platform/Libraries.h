#pragma once
// Library family: loading a library by name and finding its exports, which the
// identity code needs for its outside source.
#include <cstdint>

namespace velmora {

using LibraryHandle = void*;
using ProcAddress = void (*)();

// The outside library's exports take the caller's ANSI buffer. Hosts of the
// Windows product declare them stdcall, so the 32-bit Windows build calls them so.
#if defined(_WIN32) && defined(__i386__)
#define VELMORA_EXPORT_CALL __attribute__((stdcall))
#else
#define VELMORA_EXPORT_CALL
#endif
using IdCodeExport = int32_t(VELMORA_EXPORT_CALL*)(char* buffer);

class ILibraries {
public:
    virtual ~ILibraries() = default;
    // A library by bare name, from where it was installed: beside the component's
    // own module first, then the system's places for libraries (on Windows the host
    // program's folder and the system folder, never the current folder or PATH);
    // nullptr when it cannot be loaded.
    virtual LibraryHandle LoadLibraryA(const char* name) = 0;
    virtual ProcAddress GetProcAddress(LibraryHandle library, const char* name) = 0;
    virtual int32_t FreeLibrary(LibraryHandle library) = 0;
};

}  // namespace velmora
