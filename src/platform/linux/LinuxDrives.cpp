#include "platform/linux/LinuxDrives.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr std::string_view kNotAVolume[] = {"/dev/loop", "/dev/ram", "/dev/zram"};

struct FileSystemName {
    std::string_view linuxName;
    std::string_view windowsName;
};
constexpr FileSystemName kWindowsNames[] = {
    {"vfat", "FAT32"}, {"msdos", "FAT"}, {"ntfs", "NTFS"}, {"ntfs3", "NTFS"},
    {"exfat", "exFAT"}, {"iso9660", "CDFS"}, {"udf", "UDF"},
};

// Mount fields escape blanks, tabs, line ends and backslashes as \ooo.
std::string Unescape(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + i + 1, field.begin() + i + 4, [](char c) { return c >= '0' && c <= '7'; })) {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos) fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

// Writes `text` and a NUL if they fit in `size` bytes.
bool PutText(const std::string& text, char* buffer, uint32_t size) {
    if (buffer == nullptr) return true;
    if (text.size() + 1 > size) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

// The first eight hexadecimal digits of a file-system UUID, as a volume serial.
uint32_t SerialFromUuid(std::string_view uuid) {
    uint32_t serial = 0;
    int digits = 0;
    for (const char c : uuid) {
        if (digits == 8) break;
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        serial = serial * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                               : AsciiLower(c) - 'a' + 10);
        ++digits;
    }
    return serial;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> f = Fields(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
        if (f.size() < 6 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) continue;
        MountEntry entry;
        if (std::sscanf(std::string(f[2]).c_str(), "%u:%u", &entry.major, &entry.minor) != 2) continue;
        entry.root = Unescape(f[3]);
        entry.mountPoint = Unescape(f[4]);
        entry.fsType = Unescape(dash[1]);
        entry.source = Unescape(dash[2]);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountedDrive> DriveMap(const std::vector<MountEntry>& mounts) {
    std::vector<MountedDrive> drives;
    // The last mount on "/" is the one in sight.
    const auto root = std::find_if(mounts.rbegin(), mounts.rend(), [](const MountEntry& m) { return m.mountPoint == "/"; });
    if (root == mounts.rend()) return drives;
    drives.push_back({'C', "/", root->fsType, root->major, root->minor});
    for (const auto& m : mounts) {
        if (drives.back().letter == 'Z') break;
        const bool blockDevice = m.source.starts_with("/dev/") &&
                                 std::none_of(std::begin(kNotAVolume), std::end(kNotAVolume),
                                              [&](auto p) { return m.source.starts_with(p); });
        // A subfolder bound elsewhere (a container's /etc/hosts) is no volume of its own.
        if (m.mountPoint == "/" || !blockDevice || m.root != "/") continue;
        const bool known = std::any_of(drives.begin(), drives.end(), [&](const MountedDrive& d) {
            return (d.major == m.major && d.minor == m.minor) || d.mountPoint == m.mountPoint;
        });
        if (known) continue;
        drives.push_back({static_cast<char>(drives.back().letter + 1), m.mountPoint, m.fsType, m.major, m.minor});
    }
    return drives;
}

std::string WindowsFileSystemName(std::string_view fsType) {
    for (const auto& n : kWindowsNames)
        if (n.linuxName == fsType) return std::string(n.windowsName);
    std::string upper(fsType);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

namespace {

constexpr size_t kMaxMountInfo = 4 * 1024 * 1024;

// The kernel's mount table; only procfs announces changes (POLLPRI at every mount and
// unmount), so a table elsewhere (a test's tree) is read afresh at each call.
UniqueFd OpenMountTable(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct statfs fs{};
    if (fd && (::fstatfs(fd.get(), &fs) != 0 || fs.f_type != PROC_SUPER_MAGIC)) fd.reset();
    return fd;
}

}  // namespace

LinuxDrives::LinuxDrives(std::string root)
    : root_(std::move(root)), mounts_([this] { return OpenMountTable(root_ + "proc/self/mountinfo"); }) {
    if (root_.empty() || root_.back() != '/') root_ += '/';
}

std::vector<MountedDrive> LinuxDrives::Drives() const {
    const std::string path = root_ + "proc/self/mountinfo";
    std::lock_guard lock(mountsMutex_);
    bool opened = false;
    const int mounts = mounts_.Get(opened);
    if (opened) mountsMap_.reset();
    if (mounts < 0) {
        const auto text = ReadSysFile(path, kMaxMountInfo);
        return text ? DriveMap(ParseMountInfo(*text)) : std::vector<MountedDrive>();
    }
    // Each poll reports a change once; one after it shows at the next call.
    pollfd change{mounts, POLLPRI, 0};
    const bool changed = ::poll(&change, 1, 0) != 0 && (change.revents & (POLLPRI | POLLERR)) != 0;
    if (!mountsMap_ || changed) {
        const auto text =
            ::lseek(mounts, 0, SEEK_SET) == 0 ? ReadBounded(mounts, kMaxMountInfo) : std::optional<std::string>();
        mountsMap_.reset();
        if (!text) return {};
        mountsMap_ = DriveMap(ParseMountInfo(*text));
    }
    return *mountsMap_;
}

std::optional<MountedDrive> LinuxDrives::Resolve(const char* designation) const {
    if (designation == nullptr) return std::nullopt;
    const std::string_view text(designation, ::strnlen(designation, 4));
    const bool shaped = (text.size() == 2 || (text.size() == 3 && (text[2] == '\\' || text[2] == '/'))) &&
                        std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
    if (!shaped) return std::nullopt;
    for (auto& drive : Drives())
        if (AsciiLower(drive.letter) == AsciiLower(text[0])) return drive;
    return std::nullopt;
}

std::string LinuxDrives::NativePath(const MountedDrive& drive) const {
    return root_.substr(0, root_.size() - 1) + drive.mountPoint;
}

bool LinuxDrives::Removable(const MountedDrive& drive) const {
    const std::string device = root_ + "sys/dev/block/" + std::to_string(drive.major) + ":" + std::to_string(drive.minor);
    // A partition's removable mark sits on its disk, one folder up.
    struct stat st{};
    const bool partition = ::stat((device + "/partition").c_str(), &st) == 0;
    const auto mark = ReadSysFile(device + (partition ? "/../removable" : "/removable"), 16);
    return mark && TrimSpace(*mark) == "1";
}

uint32_t LinuxDrives::GetLogicalDriveStringsA(uint32_t size, char* buffer) {
    std::string strings;
    for (const auto& drive : Drives()) strings += std::string{drive.letter, ':', '\\', '\0'};
    if (strings.size() + 1 > size || buffer == nullptr) return static_cast<uint32_t>(strings.size() + 1);
    std::memcpy(buffer, strings.data(), strings.size());
    buffer[strings.size()] = '\0';
    return static_cast<uint32_t>(strings.size());
}

uint32_t LinuxDrives::GetDriveTypeA(const char* root) {
    const auto drive = Resolve(root);
    if (!drive) return kDriveNoRootDir;
    return drive->letter != 'C' && Removable(*drive) ? kDriveRemovable : kDriveFixed;
}

uint32_t LinuxDrives::GetWindowsDirectoryA(char* buffer, uint32_t size) {
    // The Windows directory is the root file system's designation.
    if (!Resolve("C:")) return 0;
    constexpr char kWindowsDirectory[] = "C:\\";
    const uint32_t length = sizeof kWindowsDirectory - 1;
    if (buffer == nullptr || size < length + 1) return length + 1;
    std::memcpy(buffer, kWindowsDirectory, length + 1);
    return length;
}

int32_t LinuxDrives::GetVolumeInformationA(const char* root, char* volumeName, uint32_t volumeNameSize,
                                           uint32_t* serialNumber, uint32_t* maxComponentLength,
                                           uint32_t* fileSystemFlags, char* fileSystemName,
                                           uint32_t fileSystemNameSize) {
    const auto drive = Resolve(root);
    struct statvfs st{};
    if (!drive || ::statvfs(NativePath(*drive).c_str(), &st) != 0) return 0;
    const std::string label = UdevProperty(root_, drive->major, drive->minor, "ID_FS_LABEL").value_or("");
    const std::string uuid = UdevProperty(root_, drive->major, drive->minor, "ID_FS_UUID").value_or("");
    if (!PutText(label, volumeName, volumeNameSize) ||
        !PutText(WindowsFileSystemName(drive->fsType), fileSystemName, fileSystemNameSize))
        return 0;
    if (serialNumber) *serialNumber = SerialFromUuid(uuid);
    if (maxComponentLength) *maxComponentLength = static_cast<uint32_t>(st.f_namemax);
    if (fileSystemFlags)
        *fileSystemFlags = kFileCaseSensitiveSearch | kFileCasePreservedNames |
                           ((st.f_flag & ST_RDONLY) ? kFileReadOnlyVolume : 0);
    return 1;
}

int32_t LinuxDrives::GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesToCaller, uint64_t* totalBytes,
                                         uint64_t* totalFreeBytes) {
    const auto drive = Resolve(directory);
    struct statvfs st{};
    if (!drive || ::statvfs(NativePath(*drive).c_str(), &st) != 0) return 0;
    const uint64_t unit = st.f_frsize ? st.f_frsize : st.f_bsize;
    if (freeBytesToCaller) *freeBytesToCaller = static_cast<uint64_t>(st.f_bavail) * unit;
    if (totalBytes) *totalBytes = static_cast<uint64_t>(st.f_blocks) * unit;
    if (totalFreeBytes) *totalFreeBytes = static_cast<uint64_t>(st.f_bfree) * unit;
    return 1;
}

}  // namespace velmora
