// The Win32 disk and drive backends under Wine, in the test run's scratch prefix:
// the identity library beside the program, the SMART path, and the drive summary
// with extra drive letters, each checked against the drive API read independently.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "LogCheck.h"
#include "Scratch.h"
#include "corvel/CorvelIdentity.h"
#include "disk/clsDisk.h"
#include "platform/win32/Win32Disk.h"
#include "platform/win32/Win32Platform.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

constexpr char kCryptography[] = "SOFTWARE\\Microsoft\\Cryptography";

std::string ReadMachineGuid() {
    char value[128] = {};
    DWORD size = sizeof value - 1;
    ::RegGetValueA(HKEY_LOCAL_MACHINE, kCryptography, "MachineGuid", RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

void WriteMachineGuid(const std::string& guid) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCryptography, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    ::RegSetValueExA(key, "MachineGuid", 0, REG_SZ, reinterpret_cast<const BYTE*>(guid.c_str()),
                     static_cast<DWORD>(guid.size() + 1));
    ::RegCloseKey(key);
}

// What Corvel.dll writes into 17 blanks, called as hosts declare it (stdcall).
std::string CorvelWrites(Win32Disk& disk, const char* exportName) {
    const LibraryHandle library = disk.LoadLibraryA("Corvel.dll");
    if (library == nullptr) return "(no library)";
    const auto entry = reinterpret_cast<IdCodeExport>(disk.GetProcAddress(library, exportName));
    std::string buffer(17, ' ');
    if (entry) entry(buffer.data());
    disk.FreeLibrary(library);
    return entry ? buffer : "(no export)";
}

TEST(Win32Corvel, ExportsWriteTheCodeOfTheMachineGuid) {
    Win32Platform win32;
    Win32Disk disk(win32);
    const std::string guid = ReadMachineGuid();
    ASSERT_EQ(guid.size(), 36u) << "Wine's prefix has a MachineGuid";
    const std::string code = corvel::IdentityCode(*corvel::NormalizeIdentity(guid));
    EXPECT_EQ(CorvelWrites(disk, "GetComputerIdCodeInNT"), code.substr(0, 17));
    EXPECT_EQ(CorvelWrites(disk, "GetComputerIdCodeIn9X"), code.substr(0, 17));
    EXPECT_EQ(CorvelWrites(disk, "GetComputerIdCodeIn2K"), "(no export)");
    EXPECT_EQ(disk.LoadLibraryA("..\\Corvel.dll"), nullptr);
    EXPECT_EQ(disk.LoadLibraryA("NoSuchCorvel.dll"), nullptr);

    // Through the component: Wine's physical drive answers no SMART request, so the
    // code is the library's, cut to 16; another MachineGuid gives another code.
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(win32.platform()).GetDiskSerialNumber()), code.substr(0, 16));
    WriteMachineGuid("0f0e0d0c-0b0a-0908-0706-050403020100");
    const std::string other = Utf16ToUtf8(clsTarsin(win32.platform()).GetDiskSerialNumber());
    WriteMachineGuid(guid);
    EXPECT_EQ(other, corvel::IdentityCode("0f0e0d0c0b0a09080706050403020100").substr(0, 16));
    EXPECT_NE(other, code.substr(0, 16));
}

TEST(Win32Smart, PhysicalDriveOpensButAnswersNoSmart) {
    Win32Platform win32;
    Win32Disk disk(win32);
    const std::string name = "\\\\.\\PhysicalDrive0" + std::string(62, ' ');
    const DeviceHandle handle = disk.CreateFileA(name.c_str(), 0xC0000000, 3, 3);
    ASSERT_NE(handle, kInvalidDevice);
    uint8_t version[28] = {};
    const bool answered = disk.DeviceIoControl(handle, kSmartGetVersion, nullptr, 0, version, sizeof version);
    EXPECT_TRUE(disk.CloseHandle(handle));
    if (answered) GTEST_SKIP() << "this Wine answers SMART requests";
    EXPECT_EQ(clsDisk(win32.platform()).GetSmartSerialInNT(), u"");
    EXPECT_EQ(clsDisk(win32.platform()).GetSmartSerialIn9X(), u"");
}

// Wine's mount manager defines drive letters as winecfg does (IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE).
struct MountmgrUnixDrive {
    ULONG size, type, fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset, device_offset, label_offset;
};
static_assert(sizeof(MountmgrUnixDrive) == 32);
constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

bool DefineDrive(char letter, UINT type, const std::string& unixFolder) {
    std::vector<char> input(sizeof(MountmgrUnixDrive) + unixFolder.size() + 1, '\0');
    MountmgrUnixDrive drive{};
    drive.size = static_cast<ULONG>(input.size());
    drive.type = type;
    drive.letter = static_cast<WCHAR>(letter);
    if (!unixFolder.empty()) {
        drive.mount_point_offset = sizeof drive;
        std::memcpy(input.data() + sizeof drive, unixFolder.c_str(), unixFolder.size());
    }
    std::memcpy(input.data(), &drive, sizeof drive);
    HANDLE manager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(manager, kDefineUnixDrive, input.data(), static_cast<DWORD>(input.size()),
                                      nullptr, 0, &returned, nullptr);
    ::CloseHandle(manager);
    return ok;
}

// A CD-ROM at D: and a second fixed drive at E:, both folders of the Linux side.
class ExtraDrives {
public:
    ExtraDrives() {
        ::CreateDirectoryA("Z:\\tmp\\velmora-drive-d", nullptr);
        ::CreateDirectoryA("Z:\\tmp\\velmora-drive-e", nullptr);
        ok_ = DefineDrive('d', DRIVE_CDROM, "/tmp/velmora-drive-d") &&
              DefineDrive('e', DRIVE_FIXED, "/tmp/velmora-drive-e");
    }
    ~ExtraDrives() {
        DefineDrive('d', DRIVE_UNKNOWN, "");
        DefineDrive('e', DRIVE_UNKNOWN, "");
        ::RemoveDirectoryA("Z:\\tmp\\velmora-drive-d");
        ::RemoveDirectoryA("Z:\\tmp\\velmora-drive-e");
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// The fixed drives as the drive API lists them, read without the component.
std::vector<std::string> FixedDrives() {
    char buffer[256] = {};
    ::GetLogicalDriveStringsA(sizeof buffer, buffer);
    std::vector<std::string> fixed;
    for (const char* root = buffer; *root; root += std::strlen(root) + 1)
        if (::GetDriveTypeA(root) == DRIVE_FIXED) fixed.push_back(std::string(root, 2));
    return fixed;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
    return parts;
}

TEST(Win32Drives, SummaryAgreesWithTheDriveApiOnMappedDrives) {
    ExtraDrives extra;
    ASSERT_TRUE(extra.ok()) << "the mount manager defines D: and E:";
    ASSERT_EQ(::GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
    ASSERT_EQ(::GetDriveTypeA("E:\\"), static_cast<UINT>(DRIVE_FIXED));

    const testing::ScratchTree scratch;
    const std::string folder = scratch.root();
    Win32Platform win32(Utf8ToUtf16(folder));
    clsTarsin tarsin(win32.platform());
    std::vector<String> list(1, u"kept");
    ASSERT_TRUE(tarsin.GetFixdDisk(list));
    const std::vector<std::string> fixed = FixedDrives();
    ASSERT_EQ(list.size(), fixed.size() + 1);
    EXPECT_EQ(list[0], u"kept");
    for (size_t i = 0; i < fixed.size(); ++i) EXPECT_EQ(Utf16ToUtf8(list[i + 1]), fixed[i]);
    EXPECT_NE(std::find(fixed.begin(), fixed.end(), "E:"), fixed.end());
    EXPECT_EQ(std::find(fixed.begin(), fixed.end(), "D:"), fixed.end());

    std::ofstream(folder + "\\Dovrell.log", std::ios::trunc).close();
    const std::string summary = Utf16ToUtf8(tarsin.GetComputerDiskInfo());
    const std::vector<std::string> records = Split(summary, '|');
    std::printf("GetComputerDiskInfo: %s\n", summary.c_str());
    ASSERT_EQ(records.size(), fixed.size()) << summary;
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    for (size_t i = 0; i < records.size(); ++i) {
        const std::vector<std::string> f = Split(records[i], '#');
        ASSERT_EQ(f.size(), 5u) << records[i];
        EXPECT_EQ(f[0], fixed[i]);
        const std::string root = fixed[i] + "\\";
        char fileSystem[MAX_PATH + 1] = {};
        ::GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem);
        ULARGE_INTEGER toCaller{}, total{}, totalFree{};
        ASSERT_TRUE(::GetDiskFreeSpaceExA(root.c_str(), &toCaller, &total, &totalFree));
        EXPECT_EQ(f[1], fileSystem) << records[i];
        EXPECT_EQ(f[2], std::to_string(total.QuadPart / 1048576) + "M") << records[i];
        ASSERT_EQ(f[3].back(), 'M');
        EXPECT_NEAR(std::stod(f[3]), std::floor(totalFree.QuadPart / 1048576.0), 64) << records[i];
        EXPECT_EQ(f[4], _strnicmp(windows, fixed[i].c_str(), 2) == 0 ? "1" : "0") << records[i];
    }

    std::vector<testing::LogEntry> entries;
    std::string problem;
    ASSERT_TRUE(testing::ParseLog(testing::ReadAll(scratch.path() / "Dovrell.log"), "\xC8\xD5", entries, problem)) << problem;
    std::vector<std::string> expected{"GetComputerDiskInfo \xBF\xAA\xCA\xBC"};
    for (size_t i = 0; i < fixed.size(); ++i)
        for (const char* name : {"GetDiskFATname", "GetDiskSpace", "GetDiskFreeSpace"}) {
            expected.push_back(std::string(name) + " \xBF\xAA\xCA\xBC");  // 开始
            expected.push_back(std::string(name) + " \xBD\xE1\xCA\xF8");  // 结束
        }
    expected.push_back("GetComputerDiskInfo \xBD\xE1\xCA\xF8");
    std::vector<std::string> actual;
    for (const auto& e : entries) actual.push_back(e.name + " " + e.message);
    EXPECT_EQ(actual, expected);
}

TEST(Win32Drives, TextWithNulNamesNoDrive) {
    Win32Platform win32;
    clsDisk disk(win32.platform());
    ASSERT_GT(disk.GetDiskSpace(u"C:\\"), 0);
    EXPECT_EQ(disk.GetDiskSpace(String(u"C:\\\0", 4)), 0);
    EXPECT_EQ(disk.GetDiskFATname(String(u"C:\0", 3)), u"");
    EXPECT_EQ(disk.GetDiskSpace(String(100000, u'C')), 0);
    EXPECT_EQ(disk.GetDiskFATname(u"Q:"), u"");
}

}  // namespace
}  // namespace velmora
