#pragma once
// Libraries "Name.dll" are loaded as "libName.so": beside the component first, then
// from the dynamic linker's own places.
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace velmora {

class LinuxLibraries final : public ILibraries {
public:
    LinuxLibraries(IHost& host, ICodec& codec) : host_(host), codec_(codec) {}

    LibraryHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(LibraryHandle library, const char* name) override;
    int32_t FreeLibrary(LibraryHandle library) override;

    // The file name that stands for a library name ("Corvel.dll" -> "libCorvel.so").
    static std::string LibraryFileName(std::string_view name);

private:
    IHost& host_;
    ICodec& codec_;
};

}  // namespace velmora
