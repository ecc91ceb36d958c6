// clsDisk's logical drives: the fixed-drive list, sizes, file systems and the
// Windows directory's drive.
#include <exception>

#include "base/RuntimeError.h"
#include "disk/clsDisk.h"
#include "text/Text.h"

namespace velmora {
namespace {

constexpr uint32_t kDriveStringsSize = 256;
constexpr uint32_t kWindowsDirSize = 255;
constexpr uint32_t kVolumeBufferSize = 0x100;

}  // namespace

double HiLoToDouble(int32_t high, int32_t low) {
    const double unsignedLow = low < 0 ? static_cast<double>(low) + 4294967296.0 : static_cast<double>(low);
    return static_cast<double>(high) * 4294967296.0 + unsignedLow;
}

bool clsDisk::GetFixdDisk(StringArrayRef strDrive) {
    try {
        strDrive.Resize(1);
        std::string buffer(kDriveStringsSize, '\0');
        platform_.drives.GetLogicalDriveStringsA(kDriveStringsSize, buffer.data());
        String rest = platform_.codec.AnsiToString(buffer);
        for (;;) {
            const size_t nul = rest.find(u'\0');
            // A list that fills the buffer without its terminator is not a list.
            if (nul == String::npos) Raise(Err::InvalidCall);
            const String root = rest.substr(0, nul);
            if (root.empty()) break;
            rest.erase(0, nul + 1);
            if (platform_.drives.GetDriveTypeA(platform_.codec.StringToAnsi(root).c_str()) == kDriveFixed)
                strDrive.Append(root.substr(0, 2));
        }
        return true;
    } catch (const std::exception&) {
        return false;  // the operation's own trap: False, and the caller lists no drives
    }
}

String clsDisk::GetWindowsDir() {
    std::string buffer(kWindowsDirSize, ' ');
    if (platform_.drives.GetWindowsDirectoryA(buffer.data(), kWindowsDirSize) == 0) return String();
    String dir = platform_.codec.AnsiTextUpToNull(buffer);
    AddDirSep(dir);
    return dir;
}

int32_t clsDisk::ChkSystemFdisk(const String& strDisk) {
    const String windowsDir = GetWindowsDir();
    return SameText(StringView(windowsDir).substr(0, strDisk.size()), strDisk) ? 1 : 0;
}

VolumeInfo clsDisk::GetVolumeInfo(const String& root) {
    VolumeInfo info;
    // The drive services take C strings: a NUL would cut the text and name a
    // drive the caller did not name.
    if (root.find(u'\0') != String::npos) return info;
    const std::string name = platform_.codec.StringToAnsi(root);
    char volumeName[kVolumeBufferSize] = {};
    char fileSystemName[kVolumeBufferSize] = {};
    uint32_t serial = 0, maxComponent = 0, flags = 0;
    platform_.drives.GetVolumeInformationA(name.c_str(), volumeName, kVolumeBufferSize, &serial, &maxComponent, &flags,
                                           fileSystemName, kVolumeBufferSize);
    uint64_t freeToCaller = 0, total = 0, totalFree = 0;
    platform_.drives.GetDiskFreeSpaceExA(name.c_str(), &freeToCaller, &total, &totalFree);

    info.VolumeName = platform_.codec.AnsiTextUpToNull(std::string_view(volumeName, kVolumeBufferSize));
    info.FileSystemName = platform_.codec.AnsiTextUpToNull(std::string_view(fileSystemName, kVolumeBufferSize));
    // Rebuilt from the two halves a size always came in: the low half unsigned, the
    // high half signed, so a size past 2^63 bytes reads as negative, as it always did.
    info.TotalBytes = HiLoToDouble(static_cast<int32_t>(total >> 32), static_cast<int32_t>(total & 0xFFFFFFFF));
    info.FreeBytes = HiLoToDouble(static_cast<int32_t>(totalFree >> 32), static_cast<int32_t>(totalFree & 0xFFFFFFFF));
    info.UsedBytes = info.TotalBytes - info.FreeBytes;
    return info;
}

double clsDisk::GetDiskSpace(const String& strDrive) { return GetVolumeInfo(strDrive).TotalBytes; }

double clsDisk::GetDiskSpaceFree(const String& strDrive) { return GetVolumeInfo(strDrive).FreeBytes; }

String clsDisk::GetDiskFATname(const String& strDrive) {
    String root = strDrive;
    if (root.empty() || root.back() != u'\\') root += u'\\';
    return GetVolumeInfo(root).FileSystemName;
}

}  // namespace velmora
