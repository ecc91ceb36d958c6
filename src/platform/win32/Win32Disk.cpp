#include "platform/win32/Win32Disk.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace velmora {

// The SMART records are byte-packed and hold no pointer: one layout in both widths.
static_assert(sizeof(GetVersionOutParams) == sizeof(GETVERSIONINPARAMS));
static_assert(sizeof(SendCmdInParams) == offsetof(SENDCMDINPARAMS, bBuffer));
static_assert(offsetof(SendCmdInParams, bDriveNumber) == offsetof(SENDCMDINPARAMS, bDriveNumber));
static_assert(sizeof(SendCmdOutParams) == offsetof(SENDCMDOUTPARAMS, bBuffer) + kIdentifyBytes);
static_assert(offsetof(SendCmdOutParams, bBuffer) == offsetof(SENDCMDOUTPARAMS, bBuffer));

DeviceHandle Win32Disk::CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition) {
    if (name == nullptr) return kInvalidDevice;
    const HANDLE handle = ::CreateFileA(name, access, shareMode, nullptr, disposition, 0, nullptr);
    return reinterpret_cast<DeviceHandle>(handle);
}

int32_t Win32Disk::DeviceIoControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                                   uint32_t outSize) {
    // A zeroed OVERLAPPED and no bytes-returned count, as the SMART callers always
    // passed them; on a handle opened without FILE_FLAG_OVERLAPPED the call is synchronous.
    OVERLAPPED overlapped{};
    return ::DeviceIoControl(reinterpret_cast<HANDLE>(device), code, const_cast<void*>(in), inSize, out, outSize,
                             nullptr, &overlapped)
               ? 1
               : 0;
}

int32_t Win32Disk::CloseHandle(DeviceHandle device) { return ::CloseHandle(reinterpret_cast<HANDLE>(device)) ? 1 : 0; }

uint32_t Win32Drives::GetLogicalDriveStringsA(uint32_t size, char* buffer) {
    return ::GetLogicalDriveStringsA(size, buffer);
}

uint32_t Win32Drives::GetDriveTypeA(const char* root) { return ::GetDriveTypeA(root); }

uint32_t Win32Drives::GetWindowsDirectoryA(char* buffer, uint32_t size) { return ::GetWindowsDirectoryA(buffer, size); }

int32_t Win32Drives::GetVolumeInformationA(const char* root, char* volumeName, uint32_t volumeNameSize,
                                           uint32_t* serialNumber, uint32_t* maxComponentLength,
                                           uint32_t* fileSystemFlags, char* fileSystemName,
                                           uint32_t fileSystemNameSize) {
    // Drives without media (an empty CD-ROM) must fail quietly, not ask the user.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    DWORD serial = 0, component = 0, flags = 0;
    const BOOL ok = ::GetVolumeInformationA(root, volumeName, volumeNameSize, &serial, &component, &flags,
                                            fileSystemName, fileSystemNameSize);
    ::SetErrorMode(previous);
    if (serialNumber) *serialNumber = serial;
    if (maxComponentLength) *maxComponentLength = component;
    if (fileSystemFlags) *fileSystemFlags = flags;
    return ok ? 1 : 0;
}

int32_t Win32Drives::GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesToCaller, uint64_t* totalBytes,
                                         uint64_t* totalFreeBytes) {
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    ULARGE_INTEGER toCaller{}, total{}, totalFree{};
    const BOOL ok = ::GetDiskFreeSpaceExA(directory, &toCaller, &total, &totalFree);
    ::SetErrorMode(previous);
    if (ok) {
        if (freeBytesToCaller) *freeBytesToCaller = toCaller.QuadPart;
        if (totalBytes) *totalBytes = total.QuadPart;
        if (totalFreeBytes) *totalFreeBytes = totalFree.QuadPart;
    }
    return ok ? 1 : 0;
}

}  // namespace velmora
