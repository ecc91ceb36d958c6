#include "public/clsTarsin.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <type_traits>
#include <vector>

#include "cpu/clsCpuInfo.h"
#include "registry/GetRegValue.h"
#include "disk/clsDisk.h"
#include "network/clsInternetCard.h"
#include "public/MethodTable.h"
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

// What a worker call is handed besides its worker.
struct Asking {
    clsTarsin& self;
    Platform& platform;
    MethodArguments& arguments;
};

// A row's call: W is made inside the bracket and asked by `Ask(worker, asking)`.
template <class W, auto Ask>
MethodAnswer Bracketed(const MethodRow& row, clsTarsin& self, Platform& platform, MethodArguments& arguments) {
    Asking asking{self, platform, arguments};
    return MethodAnswer(Bracket<W>(platform, FromAscii(row.name), row.policy, [&](W& worker) { return Ask(worker, asking); }));
}

String AdapterAddress(clsInternetCard& w) {
    const int32_t lanaNumber = 0;
    const String address = w.EthernetAddress(lanaNumber);
    // An address of zeros only is no address; any other keeps its zeros. ("All
    // zeros" is tested by deleting the zeros, as hosts' code always did.)
    return ReplaceAll(address, u"0", u"", Compare::Text).empty() ? String() : address;
}

String DiskSummary(clsDisk& w, clsTarsin& self) {
    std::vector<String> drives(1);
    if (!w.GetFixdDisk(drives)) return String();
    String summary;
    for (size_t i = 1; i < drives.size(); ++i) {
        const String& d = drives[i];
        const String fileSystem = self.GetDiskFATname(d);
        const double size = self.GetDiskSpace(d);
        const double free = self.GetDiskFreeSpace(d);
        const int32_t holdsWindows = w.ChkSystemFdisk(d);
        summary += d + u"#" + fileSystem + u"#" + NumberText(size) + u"M#" + NumberText(free) + u"M#" +
                   NumberText(holdsWindows) + u"|";
    }
    if (!summary.empty()) summary.pop_back();
    return summary;
}

String SoftwareList(clsSoftWare& w, Platform& platform) {
    String list;
    bool read = false;
    for (int attempt = 0; attempt < 3 && !read; ++attempt) {
        list.clear();
        read = w.JoinComputerSoftWare(list);  // false before any name is written
    }
    platform.host.ProcessPendingMessages();  // once before the answer is stored, once after
    String answer = std::move(list);
    platform.host.ProcessPendingMessages();
    return answer;
}

using enum ArgumentKind;
using enum AnswerKind;
using enum ErrorPolicy;
using enum ReportGroup;
using OS = clsOperatingSystem;

// One row per method, in slot order; the dispatch identifier is 0x60030000 + slot.
constexpr MethodRow kMethods[] = {
    {"GetDiskSerialNumber", 0x60030000, None, Text, Propagate, Bracketed<clsDisk, [](clsDisk& w, Asking&) { return w.GetComputerIdCode(); }>, {Disks, 1, "Serial number"}},
    {"GetInternetCardAddress", 0x60030001, None, Text, Propagate, Bracketed<clsInternetCard, [](clsInternetCard& w, Asking&) { return AdapterAddress(w); }>, {Network, 3, "Adapter address"}},
    {"GetSoundCardId", 0x60030002, None, Text, Propagate, Bracketed<clsSoundCard, [](clsSoundCard& w, Asking&) { return w.GetSoundCardInfo(kSoundProductId); }>, {Sound, 2, "Product id"}},
    {"GetSoundCardName", 0x60030003, None, Text, Propagate, Bracketed<clsSoundCard, [](clsSoundCard& w, Asking&) { return w.GetSoundCardInfo(kSoundName); }>, {Sound, 1, "Name"}},
    {"GetSoundCardChannel", 0x60030004, None, Text, Propagate, Bracketed<clsSoundCard, [](clsSoundCard& w, Asking&) { return w.GetSoundCardInfo(kSoundChannels); }>, {Sound, 3, "Channels"}},
    {"GetSoundCardDwformats", 0x60030005, None, Text, Propagate, Bracketed<clsSoundCard, [](clsSoundCard& w, Asking&) { return w.GetSoundCardInfo(kSoundFormats); }>, {Sound, 4, "Formats"}},
    {"GetSoundCardDwsupport", 0x60030006, None, Text, Propagate, Bracketed<clsSoundCard, [](clsSoundCard& w, Asking&) { return w.GetSoundCardInfo(kSoundSupport); }>, {Sound, 5, "Capabilities"}},
    {"GetCPUName", 0x60030007, None, Text, LogError, Bracketed<NoWorker, [](NoWorker&, Asking& a) { return GetRegValue(a.platform, kHKeyLocalMachine, kProcessorKeyPath, kProcessorNameValue); }>, {Processor, 1, "Name"}},
    {"GetCPUManufacturer", 0x60030008, None, Text, Propagate, Bracketed<clsCpuInfo, [](clsCpuInfo& w, Asking&) { return w.ManufacturerStr(); }>, {Processor, 2, "Maker"}},
    {"GetOperatingSystemName", 0x60030009, None, Text, Propagate, Bracketed<OS, [](OS& w, Asking&) { return w.GetOperatingSystemName(); }>, {System, 1, "Name"}},
    {"GetOperatingSystemVersion", 0x6003000a, None, Text, Propagate, Bracketed<OS, [](OS& w, Asking&) { return w.GetOperatingSystemVersion(); }>, {System, 2, "Version"}},
    {"GetIEVersion", 0x6003000b, None, Text, Propagate, Bracketed<OS, [](OS& w, Asking&) { return w.GetIEVersion(); }>, {System, 3, "Browser"}},
    {"GetCPUModel", 0x6003000c, None, Text, Propagate, Bracketed<clsCpuInfo, [](clsCpuInfo& w, Asking&) { return w.CpuModelStr(true); }>, {Processor, 3, "Model"}},
    {"GetPhysicsMemory", 0x6003000d, None, Text, Propagate, Bracketed<OS, [](OS& w, Asking&) { return w.GetPhysicsMemory(); }>, {Memory, 1, "Physical"}},
    {"GetComputerName", 0x6003000e, None, Text, Trap, Bracketed<OS, [](OS& w, Asking&) { return w.GetCurrentComputerName(); }>, {Network, 1, "Computer name"}},
    {"GetComputerIP", 0x6003000f, None, Text, Trap, Bracketed<clsInternetCard, [](clsInternetCard& w, Asking&) { return w.GetIPAddress(u""); }>, {Network, 2, "IP address"}},
    {"GetVirtualMemory", 0x60030010, None, Text, Propagate, Bracketed<OS, [](OS& w, Asking&) { return w.GetVirtualMemory(); }>, {Memory, 2, "Virtual"}},
    {"GetDiskFreeSpace", 0x60030011, Drive, Double, Propagate, Bracketed<clsDisk, [](clsDisk& w, Asking& a) { return WholeMegabytes(w.GetDiskSpaceFree(a.arguments.drive)); }>, {}},
    {"GetDiskSpace", 0x60030012, Drive, Double, Propagate, Bracketed<clsDisk, [](clsDisk& w, Asking& a) { return WholeMegabytes(w.GetDiskSpace(a.arguments.drive)); }>, {}},
    {"GetDiskFATname", 0x60030013, Drive, Text, Propagate, Bracketed<clsDisk, [](clsDisk& w, Asking& a) { return w.GetDiskFATname(a.arguments.drive); }>, {}},
    {"ChkSystemFdisk", 0x60030014, Drive, Long, Propagate, Bracketed<clsDisk, [](clsDisk& w, Asking& a) { return w.ChkSystemFdisk(a.arguments.drive); }>, {}},
    {"GetFixdDisk", 0x60030015, DriveList, Boolean, Propagate, Bracketed<clsDisk, [](clsDisk& w, Asking& a) { return w.GetFixdDisk(*a.arguments.drives); }>, {Disks, 2, "Fixed drives", "fixed drive"}},
    {"GetComputerDiskInfo", 0x60030016, None, Text, Propagate, Bracketed<clsDisk, [](clsDisk& w, Asking& a) { return DiskSummary(w, a.self); }>, {Disks, 3, "Summary"}},
    {"GetComputerSoftWare", 0x60030017, None, Text, Propagate, Bracketed<clsSoftWare, [](clsSoftWare& w, Asking& a) { return SoftwareList(w, a.platform); }>, {Software, 1, "Programs", "installed program"}},
};

consteval size_t Row(std::string_view name) {
    for (size_t i = 0; i < std::size(kMethods); ++i)
        if (kMethods[i].name == name) return i;
    throw "no method of that name in kMethods";
}

template <class T>
consteval AnswerKind KindOf() {
    if constexpr (std::is_same_v<T, String>) return Text;
    else if constexpr (std::is_same_v<T, double>) return Double;
    else if constexpr (std::is_same_v<T, int32_t>) return Long;
    else {
        static_assert(std::is_same_v<T, bool>, "a method answers String, double, int32_t or bool");
        return Boolean;
    }
}

// A facade method: its row, run on this object, answers the member's own type.
template <size_t row, class T>
T Run(clsTarsin& self, Platform& platform, MethodArguments arguments = {String(), nullptr}) {
    static_assert(kMethods[row].answer == KindOf<T>(), "the member answers another kind than its row");
    return std::get<T>(kMethods[row].call(kMethods[row], self, platform, arguments));
}

}  // namespace

std::span<const MethodRow> TarsinMethods() { return kMethods; }

String clsTarsin::GetDiskSerialNumber() { return Run<Row("GetDiskSerialNumber"), String>(*this, platform_); }
String clsTarsin::GetInternetCardAddress() { return Run<Row("GetInternetCardAddress"), String>(*this, platform_); }
String clsTarsin::GetSoundCardId() { return Run<Row("GetSoundCardId"), String>(*this, platform_); }
String clsTarsin::GetSoundCardName() { return Run<Row("GetSoundCardName"), String>(*this, platform_); }
String clsTarsin::GetSoundCardChannel() { return Run<Row("GetSoundCardChannel"), String>(*this, platform_); }
String clsTarsin::GetSoundCardDwformats() { return Run<Row("GetSoundCardDwformats"), String>(*this, platform_); }
String clsTarsin::GetSoundCardDwsupport() { return Run<Row("GetSoundCardDwsupport"), String>(*this, platform_); }
String clsTarsin::GetCPUName() { return Run<Row("GetCPUName"), String>(*this, platform_); }
String clsTarsin::GetCPUManufacturer() { return Run<Row("GetCPUManufacturer"), String>(*this, platform_); }
String clsTarsin::GetOperatingSystemName() { return Run<Row("GetOperatingSystemName"), String>(*this, platform_); }
String clsTarsin::GetOperatingSystemVersion() { return Run<Row("GetOperatingSystemVersion"), String>(*this, platform_); }
String clsTarsin::GetIEVersion() { return Run<Row("GetIEVersion"), String>(*this, platform_); }
String clsTarsin::GetCPUModel() { return Run<Row("GetCPUModel"), String>(*this, platform_); }
String clsTarsin::GetPhysicsMemory() { return Run<Row("GetPhysicsMemory"), String>(*this, platform_); }
String clsTarsin::GetComputerName() { return Run<Row("GetComputerName"), String>(*this, platform_); }
String clsTarsin::GetComputerIP() { return Run<Row("GetComputerIP"), String>(*this, platform_); }
String clsTarsin::GetVirtualMemory() { return Run<Row("GetVirtualMemory"), String>(*this, platform_); }
double clsTarsin::GetDiskFreeSpace(const String& strDrive) { return Run<Row("GetDiskFreeSpace"), double>(*this, platform_, {strDrive, nullptr}); }
double clsTarsin::GetDiskSpace(const String& strDrive) { return Run<Row("GetDiskSpace"), double>(*this, platform_, {strDrive, nullptr}); }
String clsTarsin::GetDiskFATname(const String& strDrive) { return Run<Row("GetDiskFATname"), String>(*this, platform_, {strDrive, nullptr}); }
int32_t clsTarsin::ChkSystemFdisk(const String& strDisk) { return Run<Row("ChkSystemFdisk"), int32_t>(*this, platform_, {strDisk, nullptr}); }
bool clsTarsin::GetFixdDisk(StringArrayRef strDrive) { return Run<Row("GetFixdDisk"), bool>(*this, platform_, {String(), &strDrive}); }
String clsTarsin::GetComputerDiskInfo() { return Run<Row("GetComputerDiskInfo"), String>(*this, platform_); }
String clsTarsin::GetComputerSoftWare() { return Run<Row("GetComputerSoftWare"), String>(*this, platform_); }

}  // namespace velmora
