#pragma once
// Library loading through the Win32 calls it stands for, by full path only.
#include "platform/Platform.h"

namespace velmora {

class Win32Libraries final : public ILibraries {
public:
    explicit Win32Libraries(IHost& host) : host_(host) {}

    LibraryHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(LibraryHandle library, const char* name) override;
    int32_t FreeLibrary(LibraryHandle library) override;

private:
    IHost& host_;
};

}  // namespace velmora
