#pragma once
// Drive family: the logical drives, their kinds, volumes and space, and the
// Windows directory, with the Win32 buffer and return conventions.
#include <cstdint>

namespace velmora {

inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kDriveRemote = 4;
inline constexpr uint32_t kDriveCdrom = 5;

inline constexpr uint32_t kFileCaseSensitiveSearch = 0x1;
inline constexpr uint32_t kFileCasePreservedNames = 0x2;
inline constexpr uint32_t kFileReadOnlyVolume = 0x80000;

class IDrives {
public:
    virtual ~IDrives() = default;
    // Writes root names ("C:\", NUL, "D:\", NUL, ..., NUL) into `buffer` of `size`
    // bytes and returns the length without the final NUL; if they do not fit,
    // returns the size needed and writes nothing; 0 on failure.
    virtual uint32_t GetLogicalDriveStringsA(uint32_t size, char* buffer) = 0;
    virtual uint32_t GetDriveTypeA(const char* root) = 0;
    // As GetSystemDirectoryA: the length written, or the size needed, or 0.
    virtual uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) = 0;
    // Nonzero on success; every out-pointer may be null.
    virtual int32_t GetVolumeInformationA(const char* root, char* volumeName, uint32_t volumeNameSize,
                                          uint32_t* serialNumber, uint32_t* maxComponentLength,
                                          uint32_t* fileSystemFlags, char* fileSystemName,
                                          uint32_t fileSystemNameSize) = 0;
    virtual int32_t GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesToCaller, uint64_t* totalBytes,
                                        uint64_t* totalFreeBytes) = 0;
};

}  // namespace velmora
