#pragma once
// Linux file systems seen as Windows drive letters. C: is the root file system;
// each further file system of a block device (source under /dev/, not a loop or
// RAM disk, mounted whole rather than bound from a subfolder) follows as D:, E:,
// ... in mount order, once per device. Only these designations resolve: a text
// that is not one names no drive, and nothing a caller passes is used as a path.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/linux/SysFiles.h"

namespace velmora {

struct MountedDrive {
    char letter = 0;
    std::string mountPoint;  // as mounted, below the backend's root
    std::string fsType;      // as the kernel names it ("ext4")
    unsigned major = 0, minor = 0;
};

// One line of /proc/self/mountinfo.
struct MountEntry {
    unsigned major = 0, minor = 0;
    std::string root, mountPoint, fsType, source;
};
std::vector<MountEntry> ParseMountInfo(std::string_view text);
std::vector<MountedDrive> DriveMap(const std::vector<MountEntry>& mounts);
// The file-system name as Windows names it ("ext4" -> "EXT4", "vfat" -> "FAT32").
std::string WindowsFileSystemName(std::string_view fsType);

class LinuxDrives final : public IDrives {
public:
    // `root` is the folder that stands for "/" (tests hand in a small fake tree).
    explicit LinuxDrives(std::string root = "/");
    LinuxDrives(const LinuxDrives&) = delete;
    LinuxDrives& operator=(const LinuxDrives&) = delete;

    uint32_t GetLogicalDriveStringsA(uint32_t size, char* buffer) override;
    uint32_t GetDriveTypeA(const char* root) override;
    uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;
    int32_t GetVolumeInformationA(const char* root, char* volumeName, uint32_t volumeNameSize, uint32_t* serialNumber,
                                  uint32_t* maxComponentLength, uint32_t* fileSystemFlags, char* fileSystemName,
                                  uint32_t fileSystemNameSize) override;
    int32_t GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesToCaller, uint64_t* totalBytes,
                                uint64_t* totalFreeBytes) override;

    // The drive map as mounted now. The kernel's mount table is kept open and its
    // map reused until the table signals a change; any other table is read afresh.
    std::vector<MountedDrive> Drives() const;

private:
    std::optional<MountedDrive> Resolve(const char* designation) const;
    std::string NativePath(const MountedDrive& drive) const;
    bool Removable(const MountedDrive& drive) const;

    std::string root_;
    mutable std::mutex mountsMutex_;
    mutable ProcessFd mounts_;  // the open mount table (procfs only)
    mutable std::optional<std::vector<MountedDrive>> mountsMap_;  // its map as last read
};

}  // namespace velmora
