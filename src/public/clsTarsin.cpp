#include "public/clsTarsin.h"

#include "public/CallBracket.h"

#include <cmath>
#include <cstdio>

#include "cpu/clsCpuInfo.h"
#include "registry/GetRegValue.h"
#include "disk/clsDisk.h"
#include "network/clsInternetCard.h"
#include "registry/clsSoftWare.h"
#include "sound/clsSoundCard.h"
#include "system/clsOperatingSystem.h"
#include "text/Text.h"

namespace velmora {
namespace {

// Where Windows records the first processor's name.
const String kProcessorKeyPath = FromAscii(kRegProcessorKey);
const String kProcessorNameValue = FromAscii(kRegProcessorName);

constexpr double kBytesPerMegabyte = 1048576.0;

double WholeMegabytes(double bytes) { return std::floor(bytes / kBytesPerMegabyte); }

// The shortest decimal form; whole megabytes carry no decimal point.
String NumberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return FromAscii(text);
}

}  // namespace

String clsTarsin::GetDiskSerialNumber() {
    return Bracket<clsDisk>(platform_, u"GetDiskSerialNumber", [](clsDisk& w) { return w.GetComputerIdCode(); });
}

String clsTarsin::GetInternetCardAddress() {
    return Bracket<clsInternetCard>(platform_, u"GetInternetCardAddress", [](clsInternetCard& w) {
        const int32_t lanaNumber = 0;
        const String address = w.EthernetAddress(lanaNumber);
        // An address of zeros only is no address; any other keeps its zeros. ("All
        // zeros" is tested by deleting the zeros, as hosts' code always did.)
        return ReplaceAll(address, u"0", u"", Compare::Text).empty() ? String() : address;
    });
}

String clsTarsin::GetSoundCardId() {
    return Bracket<clsSoundCard>(platform_, u"GetSoundCardId", [](clsSoundCard& w) { return w.GetSoundCardInfo(kSoundProductId); });
}

String clsTarsin::GetSoundCardName() {
    return Bracket<clsSoundCard>(platform_, u"GetSoundCardName", [](clsSoundCard& w) { return w.GetSoundCardInfo(kSoundName); });
}

String clsTarsin::GetSoundCardChannel() {
    return Bracket<clsSoundCard>(platform_, u"GetSoundCardChannel", [](clsSoundCard& w) { return w.GetSoundCardInfo(kSoundChannels); });
}

String clsTarsin::GetSoundCardDwformats() {
    return Bracket<clsSoundCard>(platform_, u"GetSoundCardDwformats", [](clsSoundCard& w) { return w.GetSoundCardInfo(kSoundFormats); });
}

String clsTarsin::GetSoundCardDwsupport() {
    return Bracket<clsSoundCard>(platform_, u"GetSoundCardDwsupport", [](clsSoundCard& w) { return w.GetSoundCardInfo(kSoundSupport); });
}

String clsTarsin::GetCPUName() {
    return ErrorEntryBracket(platform_, u"GetCPUName", [this] {
        return GetRegValue(platform_, kHKeyLocalMachine, kProcessorKeyPath, kProcessorNameValue);
    });
}

String clsTarsin::GetCPUManufacturer() {
    return Bracket<clsCpuInfo>(platform_, u"GetCPUManufacturer", [](clsCpuInfo& w) { return w.ManufacturerStr(); });
}

String clsTarsin::GetOperatingSystemName() {
    return Bracket<clsOperatingSystem>(platform_, u"GetOperatingSystemName",
                                       [](clsOperatingSystem& w) { return w.GetOperatingSystemName(); });
}

String clsTarsin::GetOperatingSystemVersion() {
    return Bracket<clsOperatingSystem>(platform_, u"GetOperatingSystemVersion",
                                       [](clsOperatingSystem& w) { return w.GetOperatingSystemVersion(); });
}

String clsTarsin::GetIEVersion() {
    return Bracket<clsOperatingSystem>(platform_, u"GetIEVersion", [](clsOperatingSystem& w) { return w.GetIEVersion(); });
}

String clsTarsin::GetCPUModel() {
    return Bracket<clsCpuInfo>(platform_, u"GetCPUModel", [](clsCpuInfo& w) { return w.CpuModelStr(true); });
}

String clsTarsin::GetPhysicsMemory() {
    return Bracket<clsOperatingSystem>(platform_, u"GetPhysicsMemory", [](clsOperatingSystem& w) { return w.GetPhysicsMemory(); });
}

String clsTarsin::GetComputerName() {
    return TrappedBracket<clsOperatingSystem>(platform_, u"GetComputerName",
                                              [](clsOperatingSystem& w) { return w.GetCurrentComputerName(); });
}

String clsTarsin::GetComputerIP() {
    return TrappedBracket<clsInternetCard>(platform_, u"GetComputerIP", [](clsInternetCard& w) { return w.GetIPAddress(u""); });
}

String clsTarsin::GetVirtualMemory() {
    return Bracket<clsOperatingSystem>(platform_, u"GetVirtualMemory", [](clsOperatingSystem& w) { return w.GetVirtualMemory(); });
}

double clsTarsin::GetDiskFreeSpace(const String& strDrive) {
    return Bracket<clsDisk>(platform_, u"GetDiskFreeSpace",
                            [&](clsDisk& w) { return WholeMegabytes(w.GetDiskSpaceFree(strDrive)); });
}

double clsTarsin::GetDiskSpace(const String& strDrive) {
    return Bracket<clsDisk>(platform_, u"GetDiskSpace", [&](clsDisk& w) { return WholeMegabytes(w.GetDiskSpace(strDrive)); });
}

String clsTarsin::GetDiskFATname(const String& strDrive) {
    return Bracket<clsDisk>(platform_, u"GetDiskFATname", [&](clsDisk& w) { return w.GetDiskFATname(strDrive); });
}

int32_t clsTarsin::ChkSystemFdisk(const String& strDisk) {
    return Bracket<clsDisk>(platform_, u"ChkSystemFdisk", [&](clsDisk& w) { return w.ChkSystemFdisk(strDisk); });
}

bool clsTarsin::GetFixdDisk(StringArrayRef strDrive) {
    return Bracket<clsDisk>(platform_, u"GetFixdDisk", [&](clsDisk& w) { return w.GetFixdDisk(strDrive); });
}

String clsTarsin::GetComputerDiskInfo() {
    return Bracket<clsDisk>(platform_, u"GetComputerDiskInfo", [this](clsDisk& w) {
        std::vector<String> drives(1);
        if (!w.GetFixdDisk(drives)) return String();
        String summary;
        for (size_t i = 1; i < drives.size(); ++i) {
            const String& d = drives[i];
            const String fileSystem = GetDiskFATname(d);
            const double size = GetDiskSpace(d);
            const double free = GetDiskFreeSpace(d);
            const int32_t holdsWindows = w.ChkSystemFdisk(d);
            summary += d + u"#" + fileSystem + u"#" + NumberText(size) + u"M#" + NumberText(free) + u"M#" +
                       NumberText(holdsWindows) + u"|";
        }
        if (!summary.empty()) summary.pop_back();
        return summary;
    });
}

String clsTarsin::GetComputerSoftWare() {
    return Bracket<clsSoftWare>(platform_, u"GetComputerSoftWare", [this](clsSoftWare& w) {
        std::vector<String> names(1);
        bool read = false;
        for (int attempt = 0; attempt < 3 && !read; ++attempt) read = w.GetComputerSoftWare(names);
        String list;
        if (read)
            for (size_t i = 1; i < names.size(); ++i) list += names[i] + u"|";
        platform_.host.ProcessPendingMessages();  // once before the answer is stored, once after
        String answer = std::move(list);
        platform_.host.ProcessPendingMessages();
        return answer;
    });
}

}  // namespace velmora
