// The Linux disk and drive backends: small fake /sys, /proc and /etc trees with
// traps, then the real machine checked against statvfs, df and /sys read apart.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "Scratch.h"
#include "corvel/CorvelIdentity.h"
#include "disk/clsDisk.h"
#include "platform/linux/LinuxDisk.h"
#include "platform/linux/LinuxLibraries.h"
#include "platform/linux/LinuxDrives.h"
#include "platform/linux/LinuxPlatform.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A fake /sys and /proc tree; its root is named with the trailing "/" the readers join to.
class FakeRoot : public testing::ScratchTree {
public:
    std::string root() const { return ScratchTree::root() + "/"; }
    void Link(const std::string& target, const std::string& link) const {
        fs::create_directories((path() / link).parent_path());
        fs::create_directory_symlink(target, path() / link);
    }
};

std::optional<String> IdentifyPhysicalDrive0(LinuxPlatform& host, const std::string& root) {
    LinuxDisk disk(root);
    const DeviceHandle h = disk.CreateFileA("\\\\.\\PhysicalDrive0      ", 0xC0000000, 3, kOpenExisting);
    if (h == kInvalidDevice) return std::nullopt;
    GetVersionOutParams version;
    EXPECT_TRUE(disk.DeviceIoControl(h, kSmartGetVersion, nullptr, 0, &version, 28));
    EXPECT_TRUE(version.fCapabilities & kCapAtaIdCmd);
    SendCmdInParams command;
    command.cBufferSize = 512;
    command.irDriveRegs.bCommandReg = 0xEC;
    SendCmdOutParams reply;
    const bool ok = disk.DeviceIoControl(h, kSmartRcvDriveData, &command, 32, &reply, 528);
    EXPECT_TRUE(disk.CloseHandle(h));
    EXPECT_FALSE(disk.CloseHandle(h));
    if (!ok) return String();
    return IdentifySerial(host.platform(), reply.bBuffer);
}

TEST(LinuxDisk, SerialFromEachKernelSource) {
    const struct {
        const char* what;
        std::map<std::string, std::string> files;
        std::optional<String> serial;  // nullopt: no drive 0 at all; empty: IDENTIFY fails
    } cases[] = {
        {"virtio serial", {{"sys/block/vda/device/vendor", "0x1af4"}, {"sys/block/vda/serial", "overlayblk"}},
         u"overlayblk"},
        {"nvme serial, padded",
         {{"sys/block/nvme0n1/device/serial", "  S4EWNX0N123456    \n"}, {"sys/block/nvme0n1/device/model", "X"}},
         u"S4EWNX0N123456"},
        {"SCSI unit serial page",
         {{"sys/block/sda/device/vpd_pg80", std::string("\0\x80\0\x0FWD-WCAL12345678", 19)}}, u"WD-WCAL12345678"},
        {"udev database",
         {{"sys/block/sdb/device/model", "M"}, {"sys/block/sdb/dev", "8:16\n"},
          {"run/udev/data/b8:16", "S:disk/by-id/x\nE:ID_SERIAL=ATA_X_Z1\nE:ID_SERIAL_SHORT=Z1D2E3F4G5H6J7K8L9M0N1\n"}},
         u"Z1D2E3F4G5H6J7K8L9M0"},  // cut to the 20 characters of the field
        {"removable disk sorting first",
         {{"sys/block/sda/removable", "1\n"}, {"sys/block/sda/device/serial", "STICK"},
          {"sys/block/sdb/removable", "0\n"}, {"sys/block/sdb/device/serial", "FIXED"}},
         u"FIXED"},
        {"no serial anywhere", {{"sys/block/sdc/device/model", "M"}}, u""},
        {"only virtual devices", {{"sys/block/loop0/device/x", ""}, {"sys/block/zram0/serial", "Z"}}, std::nullopt},
    };
    LinuxPlatform host;
    for (const auto& c : cases) {
        FakeRoot tree;
        for (const auto& [file, bytes] : c.files) tree.Write(file, bytes);
        // Traps that sort first: a virtual device, and a loop device with hardware files.
        tree.Write("sys/block/aaa0/serial", "TRAP1");
        tree.Write("sys/block/loop7/device/serial", "TRAP2");
        tree.Write("sys/block/dm-0/device/serial", "TRAP3");
        EXPECT_EQ(IdentifyPhysicalDrive0(host, tree.root()), c.serial) << c.what;
    }
}

TEST(LinuxDisk, OnlyPhysicalDriveNamesOpen) {
    FakeRoot tree;
    tree.Write("sys/block/vda/serial", "S");
    tree.Folder("sys/block/vda/device");
    LinuxPlatform host;
    LinuxDisk disk(tree.root());
    EXPECT_EQ(disk.WholeDisks(), std::vector<std::string>{"vda"});
    for (const char* name : {"\\\\.\\Smartvsd", "\\\\.\\PhysicalDrive1", "\\\\.\\PhysicalDrive", "PhysicalDrive0",
                             "\\\\.\\PhysicalDrive0x", "/dev/vda", "\\\\.\\PhysicalDrive00000", ""})
        EXPECT_EQ(disk.CreateFileA(name, 0, 0, kOpenExisting), kInvalidDevice) << name;
    EXPECT_EQ(disk.CreateFileA("\\\\.\\PhysicalDrive0", 0, 0, kCreateNew), kInvalidDevice);
    const DeviceHandle h = disk.CreateFileA("\\\\.\\physicaldrive0", 0, 0, kOpenExisting);
    ASSERT_NE(h, kInvalidDevice);
    char small[20];
    EXPECT_FALSE(disk.DeviceIoControl(h, kSmartGetVersion, nullptr, 0, small, sizeof small));
    SendCmdInParams command;
    command.irDriveRegs.bCommandReg = 0xA1;  // ATAPI IDENTIFY is not offered
    SendCmdOutParams reply;
    EXPECT_FALSE(disk.DeviceIoControl(h, kSmartRcvDriveData, &command, 32, &reply, 528));
    command.irDriveRegs.bCommandReg = 0xEC;
    EXPECT_FALSE(disk.DeviceIoControl(h, kSmartRcvDriveData, &command, 32, &reply, 527));
    EXPECT_FALSE(disk.DeviceIoControl(h, 0x12345, &command, 32, &reply, 528));
    EXPECT_TRUE(disk.CloseHandle(h));
    EXPECT_FALSE(disk.DeviceIoControl(h, kSmartGetVersion, nullptr, 0, &reply, 28));
}

TEST(LinuxDisk, RealPhysicalDriveAgreesWithSys) {
    LinuxPlatform host;
    LinuxDisk disk;
    const auto disks = disk.WholeDisks();
    if (disks.empty()) GTEST_SKIP() << "no whole disk on this machine";
    std::string published;
    for (const auto& file : {"/device/serial", "/serial"}) {
        std::ifstream in("/sys/block/" + disks[0] + file);
        if (std::getline(in, published) && !published.empty()) break;
    }
    const auto serial = IdentifyPhysicalDrive0(host, "/");
    ASSERT_TRUE(serial);
    if (published.empty() && ::geteuid() != 0) GTEST_SKIP() << "no serial published for " << disks[0];
    if (!published.empty()) {
        while (!published.empty() && published.back() == ' ') published.pop_back();
        EXPECT_EQ(Utf16ToUtf8(*serial), published.substr(published.find_first_not_of(' '), 20));
    }
}

TEST(LinuxCorvel, IdentityFilesOfATree) {
    const struct {
        const char* etc;
        const char* dbus;
        std::optional<std::string> identity;
    } cases[] = {
        {"3d1219c7c4c5404aaa1f6d2a48adfda4\n", nullptr, "3d1219c7c4c5404aaa1f6d2a48adfda4"},
        {"uninitialized\n", "0123456789abcdef0123456789ABCDEF\n", "0123456789abcdef0123456789abcdef"},
        {"", nullptr, std::nullopt},
        {nullptr, nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        FakeRoot tree;
        if (c.etc) tree.Write("etc/machine-id", c.etc);
        if (c.dbus) tree.Write("var/lib/dbus/machine-id", c.dbus);
        EXPECT_EQ(corvel::MachineIdentity(tree.root()), c.identity) << (c.etc ? c.etc : "(none)");
    }
}

TEST(LinuxCorvel, LibraryBesideTheComponentWritesTheCode) {
    LinuxPlatform host;
    LinuxLibraries disk(host, host);
    EXPECT_EQ(LinuxLibraries::LibraryFileName("Corvel.dll"), "libCorvel.so");
    EXPECT_EQ(LinuxLibraries::LibraryFileName("Corvel.DLL"), "libCorvel.so");
    const LibraryHandle library = disk.LoadLibraryA("Corvel.dll");
    ASSERT_NE(library, nullptr) << "libCorvel.so beside " << Utf16ToUtf8(host.ModuleFolder());
    const auto entry = reinterpret_cast<IdCodeExport>(disk.GetProcAddress(library, "GetComputerIdCodeInNT"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(disk.GetProcAddress(library, "GetComputerIdCodeInXP"), nullptr);
    char buffer[18 + 4];
    std::memset(buffer, ' ', 17);
    std::strcpy(buffer + 17, "\0xyz");
    entry(buffer);
    const auto identity = corvel::MachineIdentity();
    const std::string expected = identity ? corvel::IdentityCode(*identity).substr(0, 17) : std::string(17, ' ');
    EXPECT_EQ(std::string(buffer, 17), expected);
    EXPECT_EQ(buffer[17], '\0');
    EXPECT_TRUE(disk.FreeLibrary(library));

    for (const char* refused : {"", "../src/Corvel.dll", "/lib/x86_64-linux-gnu/libc.so.6", "Missing.dll", ".."})
        EXPECT_EQ(disk.LoadLibraryA(refused), nullptr) << refused;
}

TEST(LinuxCorvel, IdentityCodeOfThisMachine) {
    const auto identity = corvel::MachineIdentity();
    std::string published;
    LinuxPlatform host;
    const auto serial = IdentifyPhysicalDrive0(host, "/");
    String code = clsTarsin().GetDiskSerialNumber();
    if (serial && !serial->empty()) {
        published = Utf16ToUtf8(serial->substr(0, 16));
    } else if (identity) {
        published = corvel::IdentityCode(*identity).substr(0, 16);
    }
    std::string cleaned;
    for (const char c : published)
        if (std::string_view("-%$#@").find(c) == std::string_view::npos) cleaned += c;
    EXPECT_EQ(Utf16ToUtf8(code), cleaned);
}

// A tree with the usual mount kinds: the root, an EFI partition, a removable
// stick, a name with a blank, and traps that must not become drives.
void WriteMounts(const FakeRoot& tree) {
    tree.Write("proc/self/mountinfo",
               "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
               "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
               "30 27 254:1 / /boot/efi rw,relatime shared:5 - vfat /dev/vda1 rw\n"
               "31 27 254:0 /var/lib/docker/hosts /etc/hosts rw - ext4 /dev/vda rw\n"
               "32 27 7:3 / /snap/core rw - squashfs /dev/loop3 ro\n"
               "33 27 8:17 / /media/usb rw,nosuid - ext4 /dev/sdb1 rw\n"
               "34 27 8:32 / /mnt/space\\040dir rw - xfs /dev/sdc rw\n"
               "35 27 8:32 / /mnt/again rw - xfs /dev/sdc rw\n"
               "36 27 0:40 / /mnt/net rw - nfs4 server:/export rw\n"
               "malformed line\n"
               "37 27 1:0 / /mnt/ram rw - ext2 /dev/ram0 rw\n");
    for (const char* folder : {"boot/efi", "etc", "media/usb", "mnt/space dir", "mnt/again"}) tree.Folder(folder);
    tree.Write("sys/devices/block/sdb/removable", "1\n");
    tree.Write("sys/devices/block/sdb/sdb1/partition", "1\n");
    tree.Write("sys/devices/block/vda/removable", "0\n");
    tree.Write("sys/devices/block/vda/vda1/partition", "1\n");
    tree.Link("../../devices/block/sdb/sdb1", "sys/dev/block/8:17");
    tree.Link("../../devices/block/vda/vda1", "sys/dev/block/254:1");
    tree.Write("run/udev/data/b254:1", "E:ID_FS_UUID=A1B2-C3D4\nE:ID_FS_LABEL=EFI\n");
}

TEST(LinuxDrives, MapFromMountInfo) {
    FakeRoot tree;
    WriteMounts(tree);
    LinuxDrives drives(tree.root());
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    const std::string expected("C:\\\0D:\\\0E:\\\0F:\\\0", 16);
    EXPECT_EQ(drives.GetLogicalDriveStringsA(sizeof buffer, buffer), 16u);
    EXPECT_EQ(std::string(buffer, 17), expected + '\0');
    EXPECT_EQ(buffer[17], 'x');
    EXPECT_EQ(drives.GetLogicalDriveStringsA(16, buffer), 17u);  // no room for the final NUL: the size needed

    const struct {
        const char* root;
        uint32_t type;
        const char* fileSystem;  // nullptr: the volume request fails
        const char* folder;
    } cases[] = {
        {"C:\\", kDriveFixed, "EXT4", ""},        {"c:", kDriveFixed, "EXT4", ""},
        {"D:\\", kDriveFixed, "FAT32", "boot/efi"}, {"E:/", kDriveRemovable, "EXT4", "media/usb"},
        {"F:", kDriveFixed, "XFS", "mnt/space dir"}, {"G:\\", kDriveNoRootDir, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drives.GetDriveTypeA(c.root), c.type) << c.root;
        char fsName[16] = {}, label[16] = {};
        uint32_t serial = 0, flags = 0;
        const bool ok = drives.GetVolumeInformationA(c.root, label, 16, &serial, nullptr, &flags, fsName, 16);
        EXPECT_EQ(ok, c.fileSystem != nullptr) << c.root;
        if (!c.fileSystem) continue;
        EXPECT_STREQ(fsName, c.fileSystem);
        uint64_t toCaller = 0, total = 0, totalFree = 0;
        ASSERT_TRUE(drives.GetDiskFreeSpaceExA(c.root, &toCaller, &total, &totalFree));
        struct statvfs st{};
        ASSERT_EQ(::statvfs((tree.path() / c.folder).c_str(), &st), 0);
        EXPECT_EQ(total, uint64_t(st.f_blocks) * st.f_frsize) << c.root;
        EXPECT_LE(totalFree, total);
        EXPECT_LE(toCaller, totalFree);
    }
    char fsName[4] = {};
    EXPECT_FALSE(drives.GetVolumeInformationA("D:\\", nullptr, 0, nullptr, nullptr, nullptr, fsName, 4));  // FAT32 needs 6
    char label[8] = {};
    uint32_t serial = 0;
    EXPECT_TRUE(drives.GetVolumeInformationA("D:", label, 8, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_STREQ(label, "EFI");
    EXPECT_EQ(serial, 0xA1B2C3D4u);

    char windows[8];
    EXPECT_EQ(drives.GetWindowsDirectoryA(windows, 8), 3u);
    EXPECT_STREQ(windows, "C:\\");
    EXPECT_EQ(drives.GetWindowsDirectoryA(windows, 3), 4u);
}

TEST(LinuxDrives, MalformedTextsAreNeverPaths) {
    FakeRoot tree;
    WriteMounts(tree);
    LinuxDrives drives(tree.root());
    const std::string folder = tree.path().string();
    for (const std::string& text : {std::string(), std::string(".."), std::string("/"), folder, folder + "/etc",
                                   std::string("C:\\.."), std::string("C:/etc"), std::string("C:\\\\"),
                                   std::string("CC:"), std::string(":"), std::string(100000, 'C'),
                                   std::string("\\\\.\\C:")}) {
        uint64_t total = 7;
        char fsName[16] = {};
        EXPECT_FALSE(drives.GetDiskFreeSpaceExA(text.c_str(), nullptr, &total, nullptr)) << text.substr(0, 20);
        EXPECT_EQ(total, 7u);
        EXPECT_FALSE(drives.GetVolumeInformationA(text.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fsName, 16));
        EXPECT_EQ(drives.GetDriveTypeA(text.c_str()), kDriveNoRootDir);
    }
    EXPECT_FALSE(drives.GetDiskFreeSpaceExA(nullptr, nullptr, nullptr, nullptr));

    // Through the component on the real machine, where C: does exist.
    clsTarsin tarsin;
    for (const String& text : {String(), String(u".."), String(u"/"), Utf8ToUtf16(folder), String(100000, u'C'),
                               String(u"C:\0", 3), String(u"C:\\\0..", 6)}) {
        EXPECT_EQ(tarsin.GetDiskSpace(text), 0);
        EXPECT_EQ(tarsin.GetDiskFreeSpace(text), 0);
        EXPECT_EQ(tarsin.GetDiskFATname(text), u"");
    }
}

TEST(LinuxDrives, NoRootMountMeansNoDrives) {
    FakeRoot tree;
    tree.Write("proc/self/mountinfo", "22 27 0:21 / /proc rw - proc proc rw\n30 27 8:1 / /data rw - ext4 /dev/sda1 rw\n");
    LinuxDrives drives(tree.root());
    char buffer[8] = {'x'};
    EXPECT_EQ(drives.GetLogicalDriveStringsA(sizeof buffer, buffer), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(drives.GetWindowsDirectoryA(buffer, sizeof buffer), 0u);
    EXPECT_EQ(drives.GetDriveTypeA("C:\\"), kDriveNoRootDir);
}

TEST(LinuxDrives, MapFollowsTheMountTable) {
    // A table that is no kernel table is read afresh each time.
    FakeRoot tree;
    tree.Write("proc/self/mountinfo", "27 1 8:1 / / rw - ext4 /dev/sda1 rw\n");
    LinuxDrives fake(tree.root());
    ASSERT_EQ(fake.Drives().size(), 1u);
    tree.Write("proc/self/mountinfo", "27 1 8:1 / / rw - ext4 /dev/sda1 rw\n30 27 8:17 / /data rw - xfs /dev/sdb1 rw\n");
    EXPECT_EQ(fake.Drives().size(), 2u);

    // The kernel's table, kept open between calls: a mount on "/" in a private mount
    // namespace (a child process, as root) must show at the next call.
    const int shown = testing::InChild([] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return 77;
        LinuxDrives real;
        auto rootType = [&] {
            const auto map = real.Drives();
            return map.empty() ? std::string() : map.front().fsType;
        };
        const std::string before = rootType();
        if (before.empty() || before == "tmpfs" || ::mount("velmora", "/", "tmpfs", 0, nullptr) != 0) return 77;
        const bool seen = rootType() == "tmpfs";
        ::umount2("/", MNT_DETACH);
        return seen && rootType() == before ? 0 : 1;
    });
    ASSERT_GE(shown, 0) << "the child did not exit";
    if (shown == 77) GTEST_SKIP() << "no private mount namespace here (needs root)";
    EXPECT_EQ(shown, 0) << "a mount or unmount did not show in the drive map";
}

using testing::Shell;

// df -B1 of one mount point: size and used bytes.
bool DfBytes(const std::string& mountPoint, double& size, double& used) {
    std::istringstream lines(Shell("df -B1 --output=size,used '" + mountPoint + "' 2>/dev/null"));
    std::string header;
    std::getline(lines, header);
    return static_cast<bool>(lines >> size >> used);
}

TEST(LinuxDrives, VelmoraSummaryAgreesWithDf) {
    const std::string summary = Shell(std::string(VELMORA_CLI) + " GetComputerDiskInfo");
    ASSERT_FALSE(summary.empty());
    const std::vector<MountedDrive> map = LinuxDrives().Drives();
    std::istringstream records(summary.substr(0, summary.find('\n')));
    size_t count = 0;
    for (std::string record; std::getline(records, record, '|'); ++count) {
        std::istringstream fields(record);
        std::string drive, fileSystem, size, free, system;
        std::getline(fields, drive, '#');
        std::getline(fields, fileSystem, '#');
        std::getline(fields, size, '#');
        std::getline(fields, free, '#');
        std::getline(fields, system, '#');
        const auto it = std::find_if(map.begin(), map.end(), [&](auto& d) { return d.letter == drive[0]; });
        ASSERT_NE(it, map.end()) << record;
        double dfSize = 0, dfUsed = 0;
        ASSERT_TRUE(DfBytes(it->mountPoint, dfSize, dfUsed)) << it->mountPoint;
        EXPECT_EQ(size, std::to_string(static_cast<long long>(std::floor(dfSize / 1048576))) + "M") << record;
        const double freeMb = std::stod(free);
        EXPECT_NEAR(freeMb, (dfSize - dfUsed) / 1048576, 256) << record;  // what changed between the two reads
        EXPECT_EQ(system, drive == "C:" ? "1" : "0");
        EXPECT_EQ(fileSystem, WindowsFileSystemName(it->fsType));
    }
    EXPECT_GE(count, 1u);
    EXPECT_EQ(summary.substr(0, 3), "C:#");
}

}  // namespace
}  // namespace velmora
