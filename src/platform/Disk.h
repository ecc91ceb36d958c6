#pragma once
// Disk-device family: opening a device by name, the two SMART requests with the
// Win32 record layouts and block sizes, closing; and loading a library by name,
// which the identity code needs for its outside source.
#include <cstdint>

namespace velmora {

// The SMART records as Windows publishes them (byte-packed there; these have no
// padding either). The worker passes the sizes that the IDENTIFY path expects.
#pragma pack(push, 1)
struct GetVersionOutParams {  // GETVERSIONOUTPARAMS, 24 bytes
    uint8_t bVersion = 0;
    uint8_t bRevision = 0;
    uint8_t bReserved = 0;
    uint8_t bIDEDeviceMap = 0;
    uint32_t fCapabilities = 0;
    uint32_t dwReserved[4] = {};
};
struct IdeRegs {  // IDEREGS, 8 bytes
    uint8_t bFeaturesReg = 0;
    uint8_t bSectorCountReg = 0;
    uint8_t bSectorNumberReg = 0;
    uint8_t bCylLowReg = 0;
    uint8_t bCylHighReg = 0;
    uint8_t bDriveHeadReg = 0;
    uint8_t bCommandReg = 0;
    uint8_t bReserved = 0;
};
struct SendCmdInParams {  // SENDCMDINPARAMS without its trailing data byte, 32 bytes
    uint32_t cBufferSize = 0;
    IdeRegs irDriveRegs;
    uint8_t bDriveNumber = 0;
    uint8_t bReserved[3] = {};
    uint32_t dwReserved[4] = {};
};
struct DriverStatus {  // DRIVERSTATUS, 12 bytes
    uint8_t bDriverError = 0;
    uint8_t bIDEError = 0;
    uint8_t bReserved[2] = {};
    uint32_t dwReserved[2] = {};
};
inline constexpr uint32_t kIdentifyBytes = 512;
struct SendCmdOutParams {  // SENDCMDOUTPARAMS with a 512-byte data area, 528 bytes
    uint32_t cBufferSize = 0;
    DriverStatus DriverStatus_;
    uint8_t bBuffer[kIdentifyBytes] = {};
};
#pragma pack(pop)
static_assert(sizeof(GetVersionOutParams) == 24);
static_assert(sizeof(SendCmdInParams) == 32);
static_assert(sizeof(SendCmdOutParams) == 528);

inline constexpr uint32_t kSmartGetVersion = 0x74080;     // SMART_GET_VERSION
inline constexpr uint32_t kSmartRcvDriveData = 0x7C088;   // SMART_RCV_DRIVE_DATA
inline constexpr uint32_t kCapAtaIdCmd = 0x1;             // IDENTIFY supported
inline constexpr uint32_t kCapAtapiIdCmd = 0x2;
inline constexpr uint32_t kCapSmartCmd = 0x4;
// Not a published capability: the 9x route stops at the device map when it is set.
inline constexpr uint32_t kCapDeviceMapOnly = 0x10;
inline constexpr uint8_t kAtaIdentifyDevice = 0xEC;

inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kFileShareRead = 1, kFileShareWrite = 2;
inline constexpr uint32_t kCreateNew = 1, kOpenExisting = 3;

// A device handle as CreateFileA gives it; kInvalidDevice is INVALID_HANDLE_VALUE.
using DeviceHandle = intptr_t;
inline constexpr DeviceHandle kInvalidDevice = -1;

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

class IDisk {
public:
    virtual ~IDisk() = default;
    // kInvalidDevice when the device cannot be opened. No security attributes,
    // flags or template: the callers never pass any.
    virtual DeviceHandle CreateFileA(const char* name, uint32_t access, uint32_t shareMode,
                                     uint32_t disposition) = 0;
    // Nonzero on success. Synchronous: the callers pass a zeroed OVERLAPPED and no
    // bytes-returned count, which the Win32 backend supplies itself.
    virtual int32_t DeviceIoControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                                    uint32_t outSize) = 0;
    virtual int32_t CloseHandle(DeviceHandle device) = 0;

    // A library by bare name, from where it was installed: beside the component's
    // own module first, then the system's places for libraries (on Windows the host
    // program's folder and the system folder, never the current folder or PATH);
    // nullptr when it cannot be loaded.
    virtual LibraryHandle LoadLibraryA(const char* name) = 0;
    virtual ProcAddress GetProcAddress(LibraryHandle library, const char* name) = 0;
    virtual int32_t FreeLibrary(LibraryHandle library) = 0;
};

}  // namespace velmora
