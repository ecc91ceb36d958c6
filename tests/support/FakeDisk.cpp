#include "FakeDisk.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace velmora::testing {

void FakeDisk::SetSerialField(std::string_view raw) {
    std::fill(identify.begin() + 20, identify.begin() + 40, ' ');
    std::copy_n(raw.begin(), std::min<size_t>(raw.size(), 20), identify.begin() + 20);
}

DeviceHandle FakeDisk::CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition) {
    opens.push_back({name, access, shareMode, disposition});
    return handle;
}

int32_t FakeDisk::DeviceIoControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                                  uint32_t outSize) {
    requests.push_back({code, inSize, outSize});
    if (device != handle || device == kInvalidDevice || device == 0) return 0;
    if (code == kSmartGetVersion) {
        if (versionFails || outSize < sizeof version) return 0;
        std::memcpy(out, &version, sizeof version);
        return 1;
    }
    if (code == kSmartRcvDriveData) {
        if (inSize >= sizeof lastCommand) std::memcpy(&lastCommand, in, sizeof lastCommand);
        if (identifyFails || outSize < sizeof(SendCmdOutParams)) return 0;
        SendCmdOutParams reply;
        reply.cBufferSize = kIdentifyBytes;
        std::memcpy(reply.bBuffer, identify.data(), kIdentifyBytes);
        std::memcpy(out, &reply, sizeof reply);
        return 1;
    }
    return 0;
}

int32_t FakeDisk::CloseHandle(DeviceHandle device) {
    closed.push_back(device);
    return 1;
}

LibraryHandle FakeLibraries::LoadLibraryA(const char* name) {
    loads.push_back(name);
    const auto it = libraries.find(name);
    return it == libraries.end() ? nullptr : &it->second;
}

ProcAddress FakeLibraries::GetProcAddress(LibraryHandle library, const char* name) {
    lookups.push_back(name);
    const auto& exports = *static_cast<std::map<std::string, ProcAddress>*>(library);
    const auto it = exports.find(name);
    return it == exports.end() ? nullptr : it->second;
}

int32_t FakeLibraries::FreeLibrary(LibraryHandle) {
    ++frees;
    return 1;
}

const FakeDrive* FakeDrives::Resolve(const char* text) {
    queried.push_back(text);
    const std::string_view t(text);
    const bool shaped = (t.size() == 2 || (t.size() == 3 && t[2] == '\\')) && t[1] == ':';
    if (!shaped) return nullptr;
    const auto it = drives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(t[0]))));
    return it == drives.end() ? nullptr : &it->second;
}

uint32_t FakeDrives::GetLogicalDriveStringsA(uint32_t size, char* buffer) {
    if (driveStringsFail) return 0;
    std::string strings;
    for (const auto& [letter, drive] : drives) strings += std::string{letter, ':', '\\', '\0'};
    if (strings.size() + 1 > size) return static_cast<uint32_t>(strings.size() + 1);
    std::memcpy(buffer, strings.data(), strings.size());
    buffer[strings.size()] = '\0';
    return static_cast<uint32_t>(strings.size());
}

uint32_t FakeDrives::GetDriveTypeA(const char* root) {
    const FakeDrive* drive = Resolve(root);
    return drive ? drive->type : kDriveNoRootDir;
}

uint32_t FakeDrives::GetWindowsDirectoryA(char* buffer, uint32_t size) {
    if (!windowsDirectory) return 0;
    const auto length = static_cast<uint32_t>(windowsDirectory->size());
    if (size < length + 1) return length + 1;
    std::memcpy(buffer, windowsDirectory->c_str(), length + 1);
    return length;
}

int32_t FakeDrives::GetVolumeInformationA(const char* root, char* volumeName, uint32_t volumeNameSize,
                                          uint32_t* serialNumber, uint32_t*, uint32_t*, char* fileSystemName,
                                          uint32_t fileSystemNameSize) {
    const FakeDrive* drive = Resolve(root);
    if (!drive || drive->queryFails || drive->label.size() >= volumeNameSize ||
        drive->fileSystem.size() >= fileSystemNameSize)
        return 0;
    std::memcpy(volumeName, drive->label.c_str(), drive->label.size() + 1);
    std::memcpy(fileSystemName, drive->fileSystem.c_str(), drive->fileSystem.size() + 1);
    if (serialNumber) *serialNumber = 0x1234ABCD;
    return 1;
}

int32_t FakeDrives::GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesToCaller, uint64_t* totalBytes,
                                        uint64_t* totalFreeBytes) {
    const FakeDrive* drive = Resolve(directory);
    if (!drive || drive->queryFails) return 0;
    *freeBytesToCaller = drive->freeToCaller;
    *totalBytes = drive->total;
    *totalFreeBytes = drive->totalFree;
    return 1;
}

}  // namespace velmora::testing
