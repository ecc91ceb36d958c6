#pragma once
// The facade hosts use: one question about the machine per call. Every call runs
// the same bracket: begin entry, one fresh worker, its answer, end entry.
#include <vector>

#include "base/String.h"
#include "base/StringArray.h"
#include "platform/Platform.h"

// <windows.h> maps GetComputerName to GetComputerNameA; the facade's method keeps
// its own name wherever windows.h came first. (Include windows.h before this header.)
#ifdef GetComputerName
#undef GetComputerName
#endif

namespace velmora {

class clsTarsin {
public:
    explicit clsTarsin(Platform& platform = DefaultPlatform()) : platform_(platform) {}

    String GetDiskSerialNumber();
    // Adapter 0's hardware address as twelve hex digits; empty when it is all zeros.
    String GetInternetCardAddress();
    // The first wave-output device: product id, name (32 characters), channels
    // (2 characters), format list and capability list (twelve places each).
    String GetSoundCardId();
    String GetSoundCardName();
    String GetSoundCardChannel();
    String GetSoundCardDwformats();
    String GetSoundCardDwsupport();
    // The processor name Windows recorded for the first processor. Never fails: a
    // failure writes an error entry instead of the end entry and gives the empty string.
    String GetCPUName();
    String GetCPUManufacturer();
    String GetOperatingSystemName();
    String GetOperatingSystemVersion();
    String GetIEVersion();
    String GetCPUModel();
    String GetPhysicsMemory();
    // Never fails: any failure after the begin entry gives the empty string.
    String GetComputerName();
    // This machine's first IP address. Never fails: any failure after the begin
    // entry gives the empty string.
    String GetComputerIP();
    String GetVirtualMemory();
    // Sizes in whole megabytes, rounded down.
    double GetDiskFreeSpace(const String& strDrive);
    double GetDiskSpace(const String& strDrive);
    String GetDiskFATname(const String& strDrive);
    int32_t ChkSystemFdisk(const String& strDisk);
    // Fills elements 1.. with the fixed drives; element 0 is kept as given.
    bool GetFixdDisk(StringArrayRef strDrive);
    // "C:#NTFS#38146M#12000M#1|D:#..."; the per-drive facts come from this object's
    // own public methods, so their log entries nest inside this call's.
    String GetComputerDiskInfo();
    // The display names of the installed programs, each followed by "|"; the empty
    // string when the list cannot be read in three tries.
    String GetComputerSoftWare();

private:
    Platform& platform_;
};

}  // namespace velmora

