#pragma once
// The floors: the platform calls a method cannot do without, and nothing else.
// Shared by the native benchmark and the Windows host, run on the real backend.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "public/modPublic.h"
#ifndef _WIN32
#include "RawReads.h"
#endif

namespace velmora::bench {

// Keeps a result alive so the call that made it is not optimized away.
inline volatile char keepSink;
template <class T>
void Keep(const T& value) {
    keepSink = *reinterpret_cast<const volatile char*>(&value);
}

void AppendOnce(Platform& p, const std::string& entry) { p.files.AppendToFile(LogFilePath(p), entry); }

void Leaves13(Platform& p) {
    CpuRegs regs;
    for (uint32_t leaf = 0; leaf < 4; ++leaf) Keep(p.cpu.CpuIdLeaf(leaf, 0, regs));
    for (uint32_t leaf = 0x80000000; leaf < 0x80000009; ++leaf) Keep(p.cpu.CpuIdLeaf(leaf, 0, regs));
}

// The uninstall root's names listed and each one's DisplayName read, in each view a
// library of this width must list, and the host's messages let through after each
// entry, as the list must for hosts with a message loop: what any reader of the list
// must do, in the fewest registry steps the platform offers.
void EnumerateUninstall(Platform& p) {
    const std::vector<RegView> views =
        p.registry.HasTwoViews() ? std::vector<RegView>{RegView::Wide64, RegView::Wow32} : std::vector<RegView>{RegView::Own};
    for (const RegView view : views) {
        RegKey root{};
        if (p.registry.RegOpenKeyA(RootKey(kHKeyLocalMachine), kRegUninstallKey, root, view) != 0) continue;
        RegistryNames names;
        Keep(p.registry.RegEnumNamesA(root, true, 512, SIZE_MAX, names));
        uint8_t data[512];
        for (size_t i = 0; i < names.Count(); ++i) {
            uint32_t type = 0, bytes = sizeof data;
            Keep(p.registry.RegQuerySubkeyValueA(root, names.Terminated(i), kRegDisplayName, &type, data, &bytes, view));
            p.host.ProcessPendingMessages();
        }
        p.registry.RegCloseKey(root);
    }
}

// Drive 0's serial: on Windows the device opened, its IDENTIFY and the close (the
// version query only describes the driver); on Linux the sysfs and device reads
// the backend cannot answer without.
void DriveSerial(Platform& p) {
#ifdef _WIN32
    const DeviceHandle handle = p.disk.CreateFileA("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite,
                                                   kFileShareRead | kFileShareWrite, kOpenExisting);
    if (handle == kInvalidDevice) return;
    SendCmdInParams command;
    command.cBufferSize = kIdentifyBytes;
    command.irDriveRegs.bCommandReg = kAtaIdentifyDevice;
    SendCmdOutParams reply;
    const bool answered =
        p.disk.DeviceIoControl(handle, kSmartRcvDriveData, &command, sizeof command, &reply, sizeof reply);
    p.disk.CloseHandle(handle);
    if (answered) return;
    // No IDENTIFY (a virtual disk, Wine): the outside library, loaded and asked each
    // time, as the method must.
    const LibraryHandle library = p.libraries.LoadLibraryA("Corvel.dll");
    if (library == nullptr) return;
    if (const ProcAddress entry = p.libraries.GetProcAddress(library, "GetComputerIdCodeInNT")) {
        char blanks[18] = "                 ";
        Keep(reinterpret_cast<IdCodeExport>(entry)(blanks));
        Keep(blanks);
    }
    p.libraries.FreeLibrary(library);
#else
    (void)p;
    std::string serial;
    Keep(raw::DriveSerial(serial));
#endif
}

// Adapter 0's address: on Windows one adapter status (no reset, no heap block);
// on Linux the reads of every interface that the adapter rules must judge.
void AdapterAddress(Platform& p) {
#ifdef _WIN32
    uint8_t area[680] = {};
    Ncb ncb{};
    ncb.ncb_command = kNcbAStat;
    std::memcpy(ncb.ncb_callname, "*               ", kNcbNameSize);
    ncb.ncb_buffer = area;
    ncb.ncb_length = sizeof area;
    Keep(p.netbios.Netbios(ncb));
#else
    (void)p;
    std::string address;
    Keep(raw::AdapterAddress(address));
#endif
}

const std::vector<std::pair<const char*, std::function<void(Platform&)>>>& Floors() {
    static const std::string entry(64, 'x');
    static const std::vector<std::pair<const char*, std::function<void(Platform&)>>> floors = {
        {"LogAppend", [](Platform& p) { AppendOnce(p, entry); }},
        {"CpuLeaves13", Leaves13},
        {"GetVersionExA",
         [](Platform& p) {
             OsVersionInfoA info{};
             info.dwOSVersionInfoSize = sizeof info;
             Keep(p.version.GetVersionExA(info));
         }},
        {"GlobalMemoryStatusEx",
         [](Platform& p) {
             MemoryStatusEx status{};
             status.dwLength = sizeof status;
             Keep(p.systemInfo.GlobalMemoryStatusEx(status));
         }},
        {"GetComputerNameA",
         [](Platform& p) {
             char name[64];
             uint32_t size = sizeof name;
             Keep(p.systemInfo.GetComputerNameA(name, size));
         }},
        {"gethostbyname",
         [](Platform& p) {
             WsaData data;
             if (p.sockets.WSAStartup(0x0101, data) != 0) return;
             char name[256];
             if (p.sockets.gethostname(name, sizeof name) == 0) Keep(p.sockets.gethostbyname(name));
             p.sockets.WSACleanup();
         }},
        {"GetDiskFreeSpaceExA",
         [](Platform& p) {
             uint64_t a = 0, b = 0, c = 0;
             Keep(p.drives.GetDiskFreeSpaceExA("C:\\", &a, &b, &c));
         }},
        {"GetVolumeInformationA",
         [](Platform& p) {
             char label[261], fs[261];
             uint32_t serial = 0, maxlen = 0, flags = 0;
             Keep(p.drives.GetVolumeInformationA("C:\\", label, sizeof label, &serial, &maxlen, &flags, fs, sizeof fs));
         }},
        {"GetLogicalDrives",
         [](Platform& p) {
             char buffer[512];
             const uint32_t n = p.drives.GetLogicalDriveStringsA(sizeof buffer, buffer);
             for (uint32_t i = 0; i < n && i < sizeof buffer && buffer[i]; i += std::strlen(buffer + i) + 1)
                 Keep(p.drives.GetDriveTypeA(buffer + i));
         }},
        {"waveOutGetDevCapsA",
         [](Platform& p) {
             WaveOutCapsA caps{};
             if (p.wave.waveOutGetNumDevs() > 0) Keep(p.wave.waveOutGetDevCapsA(0, &caps, sizeof caps));
         }},
        {"UninstallEnum", EnumerateUninstall},
        // The processor's name as Windows records it, in one registry step (on Windows
        // the open, query and close it is made of).
        {"ProcessorName",
         [](Platform& p) {
             uint8_t data[200];
             uint32_t type = 0, bytes = sizeof data;
             Keep(p.registry.RegQuerySubkeyValueA(RootKey(kHKeyLocalMachine), kRegProcessorKey, kRegProcessorName,
                                                  &type, data, &bytes));
         }},
        {"DriveSerial", DriveSerial},
        {"AdapterAddress", AdapterAddress},
        // The disk summary: the drive list, then per fixed drive its volume record and
        // sizes, and the six entries of the three nested public calls, plus the outer two.
        {"DiskSummary",
         [](Platform& p) {
             AppendOnce(p, entry);
             char buffer[512];
             const uint32_t n = p.drives.GetLogicalDriveStringsA(sizeof buffer, buffer);
             for (uint32_t i = 0; i < n && i < sizeof buffer && buffer[i]; i += std::strlen(buffer + i) + 1) {
                 if (p.drives.GetDriveTypeA(buffer + i) != kDriveFixed) continue;
                 char label[261], fs[261];
                 uint32_t serial = 0, maxlen = 0, flags = 0;
                 uint64_t a = 0, b = 0, c = 0;
                 Keep(p.drives.GetVolumeInformationA(buffer + i, label, sizeof label, &serial, &maxlen, &flags, fs, sizeof fs));
                 Keep(p.drives.GetDiskFreeSpaceExA(buffer + i, &a, &b, &c));
                 for (int k = 0; k < 6; ++k) AppendOnce(p, entry);
             }
             AppendOnce(p, entry);
         }},
    };
    return floors;
}

}  // namespace velmora::bench
