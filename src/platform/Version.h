#pragma once
// Version family: GetVersionExA, GetVersion and GetSystemDirectoryA, with their
// Win32 record layout and return conventions, and the name a system that is not
// Windows gives itself.
#include <cstdint>
#include <string>

namespace velmora {

// OSVERSIONINFOA, 148 bytes; the caller sets dwOSVersionInfoSize.
struct OsVersionInfoA {
    uint32_t dwOSVersionInfoSize = 0;
    uint32_t dwMajorVersion = 0;
    uint32_t dwMinorVersion = 0;
    uint32_t dwBuildNumber = 0;
    uint32_t dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OsVersionInfoA) == 148);

inline constexpr uint32_t kPlatformWin32Windows = 1;  // the Windows 95 family
inline constexpr uint32_t kPlatformWin32Nt = 2;
// Linux reports a platform id of its own, so no Windows edition is ever claimed.
inline constexpr uint32_t kPlatformLinux = 0x4C4E5800;  // "LNX"

// Whether a platform's disks answer as NT's do (physical drive 0, the NT identity
// export): the NT family, and Linux, which has no 9x heritage.
inline constexpr bool DisksAnswerAsNt(uint32_t platformId) {
    return platformId == kPlatformWin32Nt || platformId == kPlatformLinux;
}

class IVersion {
public:
    virtual ~IVersion() = default;
    // Nonzero on success. Fails (0) unless dwOSVersionInfoSize is 148, the size of this record.
    virtual int32_t GetVersionExA(OsVersionInfoA& info) = 0;
    // Low byte: major version; next byte: minor version; upper 16 bits: build/platform flags.
    virtual uint32_t GetVersion() = 0;
    // Writes the system directory and a NUL into `buffer` of `size` bytes and returns
    // its length; if it does not fit, returns the size needed and leaves the buffer
    // alone; 0 on failure.
    virtual uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) = 0;
    // The name a system that is not Windows gives itself, in the ANSI code page
    // (Linux: PRETTY_NAME of os-release); empty where it has none. Windows names
    // itself through the version record only.
    virtual std::string OwnSystemName() = 0;
};

}  // namespace velmora
