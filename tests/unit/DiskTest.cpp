// clsDisk on the scripted platform: the SMART serial, the identity code with its
// outside library, the drive list, sizes and the disk summary.
#include <gtest/gtest.h>

#include <cstring>

#include "FakePlatform.h"
#include "corvel/CorvelIdentity.h"
#include "disk/clsDisk.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakeDrive;
using testing::FakePlatform;

// What the scripted identity library saw and writes.
std::string g_seen;
std::string g_write;
int32_t VELMORA_EXPORT_CALL WriteScripted(char* buffer) {
    g_seen = buffer;
    std::memcpy(buffer, g_write.data(), g_write.size());  // may carry a NUL of its own
    return 12345;
}

// A drive stores each pair of its serial swapped, padded with blanks to 20.
std::string AsDriveStoresIt(std::string serial) {
    serial.resize(20, ' ');
    for (size_t i = 0; i < 20; i += 2) std::swap(serial[i], serial[i + 1]);
    return serial;
}

void ScriptSmart(FakePlatform& fake, uint32_t capabilities, uint8_t map = 0x01) {
    fake.disk.version.fCapabilities = capabilities;
    fake.disk.version.bIDEDeviceMap = map;
}

void ScriptLibrary(FakePlatform& fake, const std::string& write) {
    g_seen.clear();
    g_write = write;
    fake.libraries.libraries["Corvel.dll"] = {
        {"GetComputerIdCodeIn9X", reinterpret_cast<ProcAddress>(&WriteScripted)},
        {"GetComputerIdCodeInNT", reinterpret_cast<ProcAddress>(&WriteScripted)},
    };
}

TEST(DiskSmart, SerialFieldIsSwappedCutAtZeroAndTrimmed) {
    const struct {
        std::string field;  // bytes 20-39 of the IDENTIFY data
        const char16_t* serial;
    } cases[] = {
        {"  2143658709BADCFEHG", u"1234567890ABCDEFGH"},
        {std::string("BADCFEHGJIK\0MLONQPSR", 20), u"ABCDEFGHIJ"},  // a 0 at swapped element 10
        {std::string(20, ' '), u""},
        {AsDriveStoresIt("  WD-WCAL12345678"), u"WD-WCAL12345678"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        ScriptSmart(fake, 0x01);
        fake.disk.SetSerialField(c.field);
        EXPECT_EQ(clsDisk(fake).GetSmartSerialInNT(), c.serial) << c.field;
        // The 9x route swaps and trims the same way; its device map is replaced.
        EXPECT_EQ(clsDisk(fake).GetSmartSerialIn9X(), c.serial) << c.field;
    }
}

TEST(DiskSmart, NtRequestsCarryTheFixedNamesAndSizes) {
    FakePlatform fake;
    ScriptSmart(fake, 0x01);
    fake.disk.SetSerialField(AsDriveStoresIt("S1"));
    EXPECT_EQ(clsDisk(fake).GetSmartSerialInNT(), u"S1");
    ASSERT_EQ(fake.disk.opens.size(), 1u);
    EXPECT_EQ(fake.disk.opens[0].name, "\\\\.\\PhysicalDrive0" + std::string(62, ' '));
    EXPECT_EQ(fake.disk.opens[0].access, 0xC0000000u);
    EXPECT_EQ(fake.disk.opens[0].shareMode, 3u);
    EXPECT_EQ(fake.disk.opens[0].disposition, 3u);
    ASSERT_EQ(fake.disk.requests.size(), 2u);
    EXPECT_EQ(fake.disk.requests[0].code, 0x74080u);
    EXPECT_EQ(fake.disk.requests[0].inSize, 0u);
    EXPECT_EQ(fake.disk.requests[0].outSize, 28u);
    EXPECT_EQ(fake.disk.requests[1].code, 0x7C088u);
    EXPECT_EQ(fake.disk.requests[1].inSize, 32u);
    EXPECT_EQ(fake.disk.requests[1].outSize, 528u);
    const SendCmdInParams& c = fake.disk.lastCommand;
    EXPECT_EQ(c.cBufferSize, 512u);
    EXPECT_EQ(c.irDriveRegs.bSectorCountReg, 1);
    EXPECT_EQ(c.irDriveRegs.bSectorNumberReg, 1);
    EXPECT_EQ(c.irDriveRegs.bDriveHeadReg, 0xA0);
    EXPECT_EQ(c.irDriveRegs.bCommandReg, 0xEC);
    EXPECT_EQ(c.irDriveRegs.bFeaturesReg | c.irDriveRegs.bCylLowReg | c.irDriveRegs.bCylHighReg | c.bDriveNumber, 0);
    EXPECT_EQ(fake.disk.closed, std::vector<DeviceHandle>{0x42});
}

TEST(DiskSmart, DeviceMapSentences) {
    const struct {
        uint8_t map;
        const char16_t* text;
    } cases[] = {
        {0x00, u""},
        {0xF0, u""},
        {0x01, u"IDE device is attached to primary controller, drive 0."},
        {0x11, u"ATAPI device is attached to primary controller, drive 0."},
        {0x02, u"IDE device is attached to primary controller, drive 1."},
        {0x22, u"ATAPI device is attached to primary controller, drive 1."},
        {0x04, u"IDE device is attached to secondary controller, drive 0."},
        {0x44, u"ATAPI device is attached to secondary controller, drive 0."},
        {0x08, u"IDE device is attached to secondary controller, drive 1."},
        {0x88, u"ATAPI device is attached to secondary controller, drive 1."},
        {0x05, u"IDE device is attached to primary controller, drive 0."
               u"IDE device is attached to secondary controller, drive 0."},
        {0x4F, u"IDE device is attached to primary controller, drive 0."
               u"IDE device is attached to primary controller, drive 1."
               u"ATAPI device is attached to secondary controller, drive 0."
               u"IDE device is attached to secondary controller, drive 1."},
    };
    for (const auto& c : cases) EXPECT_EQ(GetIdeDeviceMap(c.map), c.text) << int(c.map);
}

TEST(DiskSmart, NinetyFiveRouteSteps) {
    const struct {
        const char* what;
        DeviceHandle handle;
        bool versionFails;
        uint32_t capabilities;
        uint8_t map;
        bool identifyFails;
        const char16_t* answer;
        size_t requests;
        size_t closes;
    } cases[] = {
        {"handle 0 stops at once", 0, false, 0x01, 0x01, false, u"", 0, 0},
        {"failed open fails the version request", kInvalidDevice, false, 0x01, 0x01, false, u"", 1, 0},
        {"version request fails", 0x42, true, 0x01, 0x01, false, u"", 1, 1},
        {"no IDENTIFY capability", 0x42, false, 0x10, 0x11, false, u"", 1, 1},
        {"ATAPI map, IDENTIFY fails", 0x42, false, 0x01, 0x11, true,
         u"ATAPI device is attached to primary controller, drive 0.", 2, 1},
        {"bit 4 of the capabilities stops before IDENTIFY", 0x42, false, 0x11, 0x05, false,
         u"IDE device is attached to primary controller, drive 0.IDE device is attached to secondary controller, drive 0.",
         1, 1},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.disk.handle = c.handle;
        fake.disk.versionFails = c.versionFails;
        fake.disk.identifyFails = c.identifyFails;
        ScriptSmart(fake, c.capabilities, c.map);
        EXPECT_EQ(clsDisk(fake).GetSmartSerialIn9X(), c.answer) << c.what;
        ASSERT_EQ(fake.disk.opens.size(), 1u);
        EXPECT_EQ(fake.disk.opens[0].name, "\\\\.\\Smartvsd");
        EXPECT_EQ(fake.disk.opens[0].access | fake.disk.opens[0].shareMode, 0u);
        EXPECT_EQ(fake.disk.opens[0].disposition, 1u);
        EXPECT_EQ(fake.disk.requests.size(), c.requests) << c.what;
        EXPECT_EQ(fake.disk.closed.size(), c.closes) << c.what;
    }
}

TEST(DiskIdentity, CutToSixteenThenCleaned) {
    const struct {
        uint32_t platformId;
        std::string serial;         // the SMART serial ("" for no answer)
        std::string libraryWrites;  // what the outside library writes into its buffer
        const char16_t* code;
        size_t libraryBlanks;  // the buffer the library saw; 0 when it was not asked
    } cases[] = {
        {2, "WD-WCAL12345678", "", u"WDWCAL12345678", 0},
        {2, "ABCDEFGHIJKLMNOPQRST", "", u"ABCDEFGHIJKLMNOP", 0},
        {2, "AB-CD-EF-GH-IJ-KLMN", "", u"ABCDEFGHIJK", 0},  // cut first: five dashes in the first 16
        {2, "#@%$", "XYZ", u"", 0},                         // not empty before cleaning: no library
        {2, "", std::string("A1B2C3\0", 7), u"A1B2C3", 17},
        {2, "", "", u"", 17},
        {2, "", "  LEAD-9%$ ", u"LEAD9", 17},
        {1, "", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", u"ABCDEFGHIJKLMNOP", 60},
        {kPlatformLinux, "", "LNX", u"LNX", 17},
        {0, "SERIAL", "X", u"", 0},
        {3, "SERIAL", "X", u"", 0},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.versionRecord.dwPlatformId = c.platformId;
        ScriptSmart(fake, c.serial.empty() ? 0 : 0x01);
        fake.disk.SetSerialField(AsDriveStoresIt(c.serial));
        ScriptLibrary(fake, c.libraryWrites);
        EXPECT_EQ(clsDisk(fake).GetComputerIdCode(), c.code) << c.serial << " / " << c.platformId;
        EXPECT_EQ(g_seen, std::string(c.libraryBlanks, ' ')) << c.serial;
        EXPECT_EQ(fake.libraries.loads.size(), c.libraryBlanks ? 1u : 0u);
        EXPECT_EQ(fake.libraries.frees, c.libraryBlanks ? 1 : 0);
    }
}

TEST(DiskIdentity, IdentifyDataThatFailsItsChecksLeavesTheCodeToTheLibrary) {
    enum Integrity { kUnsigned, kSigned, kBadSum };
    const struct {
        const char* what;
        std::string serial;  // as read, before the drive's swap
        Integrity integrity;
        const char16_t* code;
    } cases[] = {
        {"valid, no signature", " S3Z9 NB0K~", kUnsigned, u"S3Z9 NB0K~"},
        {"valid, signed", " S3Z9 NB0K~", kSigned, u"S3Z9 NB0K~"},
        {"signed, bad checksum", " S3Z9 NB0K~", kBadSum, u"LIBCODE"},
        {"control byte", "S3Z9\x1F" "NB0K", kSigned, u"LIBCODE"},
        {"DEL", "S3Z9\x7F" "NB0K", kUnsigned, u"LIBCODE"},
        {"high-ASCII byte", "S3Z9\xE9" "NB0K", kUnsigned, u"LIBCODE"},
        {"all blanks", "", kSigned, u"LIBCODE"},
        {"a 0 ends the serial; what follows is not judged", std::string("S3Z9\0\x01\xFF", 7), kUnsigned, u"S3Z9"},
    };
    for (const auto& c : cases)
        for (const uint32_t platformId : {1u, 2u}) {  // the 9x and NT routes
            FakePlatform fake;
            fake.versionRecord.dwPlatformId = platformId;
            ScriptSmart(fake, 0x01);
            ScriptLibrary(fake, "LIBCODE");
            auto& block = fake.disk.identify;
            block[0] = 0x40;
            fake.disk.SetSerialField(AsDriveStoresIt(c.serial));
            if (c.integrity != kUnsigned) {
                block[510] = 0xA5;
                uint8_t sum = 0;
                for (size_t i = 0; i < 511; ++i) sum += block[i];
                block[511] = static_cast<uint8_t>(-sum + (c.integrity == kBadSum ? 1 : 0));
            }
            EXPECT_EQ(clsTarsin(fake).GetDiskSerialNumber(), c.code) << c.what << " / " << platformId;
        }
}

TEST(DiskIdentity, MissingLibraryOrExportOrVersionGivesEmpty) {
    {
        FakePlatform fake;
        fake.versionRecord.dwPlatformId = 2;
        EXPECT_EQ(clsDisk(fake).GetComputerIdCode(), u"");
        EXPECT_EQ(fake.libraries.loads, std::vector<std::string>{"Corvel.dll"});
    }
    {
        FakePlatform fake;
        fake.versionRecord.dwPlatformId = 1;
        fake.libraries.libraries["Corvel.dll"] = {{"GetComputerIdCodeInNT", reinterpret_cast<ProcAddress>(&WriteScripted)}};
        EXPECT_EQ(clsDisk(fake).GetComputerIdCode(), u"");
        EXPECT_EQ(fake.libraries.lookups, std::vector<std::string>{"GetComputerIdCodeIn9X"});
        EXPECT_EQ(fake.libraries.frees, 1);  // released on the failing path too
    }
    {
        FakePlatform fake;
        fake.SetVersion(2, 5, 1);
        fake.versionExFails = true;
        ScriptLibrary(fake, "X");
        EXPECT_EQ(clsDisk(fake).GetComputerIdCode(), u"");
        EXPECT_TRUE(fake.disk.opens.empty());
        EXPECT_TRUE(fake.libraries.loads.empty());
    }
}

TEST(DiskIdentity, PublicMethodRunsTheBracket) {
    FakePlatform fake;
    fake.versionRecord.dwPlatformId = 2;
    ScriptSmart(fake, 0x01);
    fake.disk.SetSerialField(AsDriveStoresIt("  WD-WCAL12345678"));
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetDiskSerialNumber(), u"WDWCAL12345678");
    EXPECT_EQ(fake.appended.begin()->second,
              "2026-12-07日 05:30:33  [GetDiskSerialNumber]  \r\n开始\r\n"
              "2026-12-07日 05:30:33  [GetDiskSerialNumber]  \r\n结束\r\n");
}

TEST(CorvelIdentity, NormalizesHashesAndWritesInPlace) {
    EXPECT_EQ(corvel::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(corvel::Sha256Hex(std::string(1000, 'a')).substr(0, 16), "41edece42d63e8d9");
    const auto a = corvel::NormalizeIdentity("3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    const auto b = corvel::NormalizeIdentity("{3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4}");
    ASSERT_TRUE(a);
    EXPECT_EQ(a, b);
    for (const char* bad : {"", "uninitialized", "00000000000000000000000000000000", "3d1219c7c4c5404aaa1f6d2a48adfda",
                            "3d1219c7 c4c5404aaa1f6d2a48adfda4"})
        EXPECT_FALSE(corvel::NormalizeIdentity(bad)) << bad;
    const std::string code = corvel::IdentityCode(*a);
    EXPECT_EQ(code.size(), 32u);
    EXPECT_EQ(code.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_NE(code.substr(0, 16), corvel::IdentityCode("3d1219c7c4c5404aaa1f6d2a48adfda5").substr(0, 16));
    EXPECT_EQ(code.find("3D1219C7"), std::string::npos);  // the identity itself is not handed out

    char buffer[20];
    std::memset(buffer, '#', sizeof buffer);
    std::memset(buffer, ' ', 17);
    buffer[17] = '\0';
    EXPECT_EQ(corvel::WriteInPlace(buffer, code), 17);
    EXPECT_EQ(std::string(buffer, 17), code.substr(0, 17));
    EXPECT_EQ(buffer[17], '\0');
    EXPECT_EQ(buffer[18], '#');
    char small[] = "   ";
    EXPECT_EQ(corvel::WriteInPlace(small, "AB"), 2);
    EXPECT_STREQ(small, "AB ");
    EXPECT_EQ(corvel::WriteInPlace(nullptr, "AB"), 0);
}

// A: removable, C: and D: fixed, E: CD-ROM; Windows in C:\WINDOWS.
void FourDrives(FakePlatform& fake) {
    fake.drives.drives = {
        {'A', FakeDrive{kDriveRemovable, "FAT", "", 1474560, 1000, 1000}},
        {'C', FakeDrive{kDriveFixed, "NTFS", "SYSTEM", 40000000000ull, 12000ull * 1048576 + 1048575,
                        12000ull * 1048576}},
        {'D', FakeDrive{kDriveFixed, "FAT32", "DATA", 80000000000ull, 70000ull * 1048576, 1}},
        {'E', FakeDrive{kDriveCdrom, "CDFS", "", 600000000, 0, 0}},
    };
    fake.drives.windowsDirectory = "C:\\WINDOWS";
}

TEST(DiskDrives, FixedDriveList) {
    FakePlatform fake;
    FourDrives(fake);
    std::vector<String> list{u"keep", u"old1", u"old2", u"old3", u"old4"};
    EXPECT_TRUE(clsDisk(fake).GetFixdDisk(list));
    EXPECT_EQ(list, (std::vector<String>{u"keep", u"C:", u"D:"}));
    std::vector<String> none;  // no element 0 at all: it is made
    fake.drives.driveStringsFail = true;
    EXPECT_TRUE(clsDisk(fake).GetFixdDisk(none));
    EXPECT_EQ(none, std::vector<String>{u""});

    clsTarsin tarsin(fake);
    fake.drives.driveStringsFail = false;
    std::vector<String> viaFacade(1);
    EXPECT_TRUE(tarsin.GetFixdDisk(viaFacade));
    EXPECT_EQ(viaFacade, (std::vector<String>{u"", u"C:", u"D:"}));
}

TEST(DiskDrives, SizesNamesAndSystemDrive) {
    FakePlatform fake;
    FourDrives(fake);
    fake.drives.drives['F'] = FakeDrive{kDriveFixed, "NTFS", "", 0x80000000ull, 1048575, 0};
    fake.drives.drives['G'] = FakeDrive{kDriveFixed, "NTFS", "", 0x180000000ull, 0, 0};
    clsTarsin tarsin(fake);
    clsDisk disk(fake);
    EXPECT_EQ(tarsin.GetDiskSpace(u"C:"), 38146);  // 40 000 000 000 / 2^20 = 38146.97
    EXPECT_EQ(tarsin.GetDiskFreeSpace(u"C:\\"), 12000);
    EXPECT_EQ(tarsin.GetDiskFreeSpace(u"F:"), 0);  // 1048575 bytes
    EXPECT_EQ(disk.GetDiskSpace(u"F:"), 2147483648.0);
    EXPECT_EQ(disk.GetDiskSpace(u"G:"), 6442450944.0);
    EXPECT_EQ(disk.GetDiskSpaceFree(u"C:"), 12000.0 * 1048576 + 1048575);  // all free bytes, not the caller's
    EXPECT_EQ(HiLoToDouble(0, static_cast<int32_t>(0x80000000)), 2147483648.0);
    EXPECT_EQ(HiLoToDouble(1, -1), 8589934591.0);
    const VolumeInfo info = disk.GetVolumeInfo(u"D:\\");
    EXPECT_EQ(info.VolumeName, u"DATA");
    EXPECT_EQ(info.UsedBytes, info.TotalBytes - info.FreeBytes);

    fake.drives.queried.clear();
    EXPECT_EQ(tarsin.GetDiskFATname(u"D:"), u"FAT32");
    EXPECT_EQ(tarsin.GetDiskFATname(u"D:\\"), u"FAT32");
    EXPECT_EQ(fake.drives.queried, (std::vector<std::string>(4, "D:\\")));

    const struct {
        const char16_t* disk;
        int32_t answer;
    } system[] = {{u"D:", 0}, {u"c:", 1}, {u"", 1}, {u"C:\\windows\\", 1}, {u"C:\\WINDOWS\\X", 0}};
    for (const auto& s : system) EXPECT_EQ(tarsin.ChkSystemFdisk(s.disk), s.answer) << Utf16ToUtf8(s.disk);
    fake.drives.windowsDirectory.reset();
    EXPECT_EQ(disk.GetWindowsDir(), u"");
    EXPECT_EQ(disk.ChkSystemFdisk(u"C:"), 0);
    EXPECT_EQ(disk.ChkSystemFdisk(u""), 1);
}

TEST(DiskDrives, MalformedDriveTextsNameNoDrive) {
    FakePlatform fake;
    FourDrives(fake);
    clsTarsin tarsin(fake);
    const String cases[] = {u"", u"..", u"C:\\WINDOWS", u"/etc", String(100000, u'C'), String(u"C:\0D:", 5),
                            String(u"C:\\\0", 4)};
    for (const auto& text : cases) {
        fake.drives.queried.clear();
        EXPECT_EQ(tarsin.GetDiskSpace(text), 0);
        EXPECT_EQ(tarsin.GetDiskFreeSpace(text), 0);
        EXPECT_EQ(tarsin.GetDiskFATname(text), u"");
        // A NUL would cut the text to a drive it does not name: nothing is asked at all.
        if (text.find(u'\0') != String::npos) EXPECT_TRUE(fake.drives.queried.empty());
    }
}

std::vector<std::string> LogLines(FakePlatform& fake) {
    std::vector<std::string> lines;
    const std::string& log = fake.appended.begin()->second;
    for (size_t at = 0; at < log.size();) {
        const size_t nameStart = log.find('[', at), nameEnd = log.find(']', nameStart);
        const size_t messageStart = log.find("\r\n", nameEnd) + 2, messageEnd = log.find("\r\n", messageStart);
        lines.push_back(log.substr(nameStart + 1, nameEnd - nameStart - 1) + " " +
                        log.substr(messageStart, messageEnd - messageStart));
        at = messageEnd + 2;
    }
    return lines;
}

TEST(DiskSummary, RecordsAndNestedLogEntries) {
    FakePlatform fake;
    FourDrives(fake);
    clsTarsin tarsin(fake);
    const String summary = tarsin.GetComputerDiskInfo();
    EXPECT_EQ(summary, u"C:#NTFS#38146M#12000M#1|D:#FAT32#76293M#70000M#0");
    std::vector<std::string> expected{"GetComputerDiskInfo 开始"};
    for (int drive = 0; drive < 2; ++drive)
        for (const char* name : {"GetDiskFATname", "GetDiskSpace", "GetDiskFreeSpace"})
            for (const char* message : {"开始", "结束"}) expected.push_back(std::string(name) + " " + message);
    expected.push_back("GetComputerDiskInfo 结束");
    EXPECT_EQ(LogLines(fake), expected);
}

TEST(DiskSummary, UnqueryableAndMissingDrives) {
    FakePlatform fake;
    fake.drives.drives = {{'C', FakeDrive{kDriveFixed, "NTFS", "", 1, 1, 1, /*queryFails=*/true}}};
    fake.drives.windowsDirectory = "C:\\WINDOWS";
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetComputerDiskInfo(), u"C:##0M#0M#1");

    fake.drives.drives = {{'A', FakeDrive{kDriveRemovable}}};
    fake.appended.clear();
    EXPECT_EQ(tarsin.GetComputerDiskInfo(), u"");
    EXPECT_EQ(LogLines(fake), (std::vector<std::string>{"GetComputerDiskInfo 开始", "GetComputerDiskInfo 结束"}));
}

}  // namespace
}  // namespace velmora
