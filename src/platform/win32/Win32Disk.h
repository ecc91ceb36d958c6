#pragma once
// Disk devices and SMART requests through the Win32 calls they stand for; the drive
// family through the volume and drive calls.
#include "platform/Platform.h"

namespace velmora {

class Win32Disk final : public IDisk {
public:

    DeviceHandle CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition) override;
    int32_t DeviceIoControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                            uint32_t outSize) override;
    int32_t CloseHandle(DeviceHandle device) override;
};

class Win32Drives final : public IDrives {
public:
    uint32_t GetLogicalDriveStringsA(uint32_t size, char* buffer) override;
    uint32_t GetDriveTypeA(const char* root) override;
    uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;
    int32_t GetVolumeInformationA(const char* root, char* volumeName, uint32_t volumeNameSize, uint32_t* serialNumber,
                                  uint32_t* maxComponentLength, uint32_t* fileSystemFlags, char* fileSystemName,
                                  uint32_t fileSystemNameSize) override;
    int32_t GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesToCaller, uint64_t* totalBytes,
                                uint64_t* totalFreeBytes) override;
};

}  // namespace velmora
