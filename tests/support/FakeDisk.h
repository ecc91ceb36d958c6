#pragma once
// Scripted disk devices, identity libraries and drives. Every step can be made to
// fail, and every request is recorded for the tests to read back.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace velmora::testing {

class FakeDisk final : public IDisk {
public:
    // Device family: every name opens with `handle` (set kInvalidDevice or 0 to fail the open).
    DeviceHandle handle = 0x42;
    bool versionFails = false;
    GetVersionOutParams version{};  // fCapabilities 0 unless a test sets it
    bool identifyFails = false;
    std::array<uint8_t, kIdentifyBytes> identify{};
    // Words 10-19 of the IDENTIFY data, exactly as given (a drive stores each pair swapped).
    void SetSerialField(std::string_view raw);

    struct Open {
        std::string name;
        uint32_t access, shareMode, disposition;
    };
    struct Request {
        uint32_t code, inSize, outSize;
    };
    std::vector<Open> opens;
    std::vector<Request> requests;
    SendCmdInParams lastCommand{};
    std::vector<DeviceHandle> closed;

    DeviceHandle CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition) override;
    int32_t DeviceIoControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                            uint32_t outSize) override;
    int32_t CloseHandle(DeviceHandle device) override;
};

class FakeLibraries final : public ILibraries {
public:
    // Library name -> export name -> entry.
    std::map<std::string, std::map<std::string, ProcAddress>> libraries;
    std::vector<std::string> loads;
    std::vector<std::string> lookups;
    int frees = 0;

    LibraryHandle LoadLibraryA(const char* name) override;
    ProcAddress GetProcAddress(LibraryHandle library, const char* name) override;
    int32_t FreeLibrary(LibraryHandle library) override;
};

struct FakeDrive {
    uint32_t type = kDriveFixed;
    std::string fileSystem = "NTFS";
    std::string label;
    uint64_t total = 0, totalFree = 0, freeToCaller = 0;
    bool queryFails = false;  // listed, but volume and space requests fail
};

// Drives by letter, listed in letter order. Like the Linux drive map, only a
// designation ("C:" or "C:\") names a drive.
class FakeDrives final : public IDrives {
public:
    std::map<char, FakeDrive> drives;
    bool driveStringsFail = false;  // the call fails and leaves the buffer alone
    std::optional<std::string> windowsDirectory = "C:\\WINNT";
    std::vector<std::string> queried;  // every text passed to a drive, volume or space request

    uint32_t GetLogicalDriveStringsA(uint32_t size, char* buffer) override;
    uint32_t GetDriveTypeA(const char* root) override;
    uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;
    int32_t GetVolumeInformationA(const char* root, char* volumeName, uint32_t volumeNameSize, uint32_t* serialNumber,
                                  uint32_t* maxComponentLength, uint32_t* fileSystemFlags, char* fileSystemName,
                                  uint32_t fileSystemNameSize) override;
    int32_t GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesToCaller, uint64_t* totalBytes,
                                uint64_t* totalFreeBytes) override;

private:
    const FakeDrive* Resolve(const char* text);
};

}  // namespace velmora::testing
