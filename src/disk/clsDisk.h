#pragma once
// The disk worker: the machine identity code (SMART serial of the first drive,
// else the outside identity library) and the logical drives with their space.
#include <cstdint>
#include <span>
#include <vector>

#include "base/String.h"
#include "base/StringArray.h"
#include "platform/Platform.h"

namespace velmora {

// One drive's volume facts as the drive services report them; zeros and empty
// texts for a drive that cannot be queried.
struct VolumeInfo {
    String VolumeName;
    String FileSystemName;
    double TotalBytes = 0;
    double FreeBytes = 0;
    double UsedBytes = 0;
};

// The serial bytes of the IDENTIFY data: 20 characters and a terminating 0 (in a
// list of 41 elements).
using SerialBytes = std::vector<uint8_t>;

// Exchanges the elements of each pair (0,1), (2,3), ... up to the pair at n-2.
void SwapBytes(SerialBytes& list, int n);
// Elements 0..n as single-byte characters, up to the first 0.
String BytesToString(Platform& platform, const SerialBytes& list, int n);
// The serial in IDENTIFY data: words 10-19 swapped, up to the first 0, trimmed. The
// empty text when the data is not to be trusted: a signed integrity word (byte 510 is
// 0xA5) whose 512 bytes do not sum to 0, or a byte outside printable ASCII before the
// first 0. A 0 ends the serial (the bytes after it are padding, never part of it).
String IdentifySerial(Platform& platform, std::span<const uint8_t, kIdentifyBytes> data);
// One sentence per drive that the SMART device map marks present.
String GetIdeDeviceMap(uint8_t map);
// The two 32-bit halves of a size: the low half unsigned, the high half signed.
double HiLoToDouble(int32_t high, int32_t low);

class clsDisk {
public:
    explicit clsDisk(Platform& platform) : platform_(platform) {}

    // Identity code of this machine, at most 16 characters, or the empty text.
    String GetComputerIdCode();
    // The serial of the first IDE drive (on 9x, else the device-map sentences), or
    // the empty text, also for IDENTIFY data that IdentifySerial does not trust. Only
    // GetComputerIdCode relies on them; tests call them directly.
    String GetSmartSerialIn9X();
    String GetSmartSerialInNT();

    // Fills elements 1.. with the fixed drives ("C:"); element 0 is kept.
    bool GetFixdDisk(StringArrayRef strDrive);
    double GetDiskSpace(const String& strDrive);
    double GetDiskSpaceFree(const String& strDrive);
    String GetDiskFATname(const String& strDrive);
    int32_t ChkSystemFdisk(const String& strDisk);
    String GetWindowsDir();
    VolumeInfo GetVolumeInfo(const String& root);

private:
    String AskIdentityLibrary(const char* exportName, size_t blanks);
    String SmartSerial(const char* device, uint32_t access, uint32_t shareMode, uint32_t disposition, bool in9X);

    Platform& platform_;
};

}  // namespace velmora
