#include "cli/Methods.h"

#include "base/RuntimeError.h"
#include "registry/clsSoftWare.h"
#include "text/Text.h"

namespace velmora::cli {

const std::vector<Method>& Methods() {
    static const std::vector<Method> methods = {
        {"GetDiskSerialNumber", 0, [](clsTarsin& t, const String&) { return Answer(t.GetDiskSerialNumber()); }},
        {"GetInternetCardAddress", 0, [](clsTarsin& t, const String&) { return Answer(t.GetInternetCardAddress()); }},
        {"GetSoundCardId", 0, [](clsTarsin& t, const String&) { return Answer(t.GetSoundCardId()); }},
        {"GetSoundCardName", 0, [](clsTarsin& t, const String&) { return Answer(t.GetSoundCardName()); }},
        {"GetSoundCardChannel", 0, [](clsTarsin& t, const String&) { return Answer(t.GetSoundCardChannel()); }},
        {"GetSoundCardDwformats", 0, [](clsTarsin& t, const String&) { return Answer(t.GetSoundCardDwformats()); }},
        {"GetSoundCardDwsupport", 0, [](clsTarsin& t, const String&) { return Answer(t.GetSoundCardDwsupport()); }},
        {"GetCPUName", 0, [](clsTarsin& t, const String&) { return Answer(t.GetCPUName()); }},
        {"GetCPUManufacturer", 0, [](clsTarsin& t, const String&) { return Answer(t.GetCPUManufacturer()); }},
        {"GetOperatingSystemName", 0, [](clsTarsin& t, const String&) { return Answer(t.GetOperatingSystemName()); }},
        {"GetOperatingSystemVersion", 0,
         [](clsTarsin& t, const String&) { return Answer(t.GetOperatingSystemVersion()); }},
        {"GetIEVersion", 0, [](clsTarsin& t, const String&) { return Answer(t.GetIEVersion()); }},
        {"GetCPUModel", 0, [](clsTarsin& t, const String&) { return Answer(t.GetCPUModel()); }},
        {"GetPhysicsMemory", 0, [](clsTarsin& t, const String&) { return Answer(t.GetPhysicsMemory()); }},
        {"GetComputerName", 0, [](clsTarsin& t, const String&) { return Answer(t.GetComputerName()); }},
        {"GetComputerIP", 0, [](clsTarsin& t, const String&) { return Answer(t.GetComputerIP()); }},
        {"GetVirtualMemory", 0, [](clsTarsin& t, const String&) { return Answer(t.GetVirtualMemory()); }},
        // The drive methods take a drive text ("C:"); GetFixdDisk answers its array.
        {"GetDiskFreeSpace", 1, [](clsTarsin& t, const String& d) { return Answer(t.GetDiskFreeSpace(d)); }},
        {"GetDiskSpace", 1, [](clsTarsin& t, const String& d) { return Answer(t.GetDiskSpace(d)); }},
        {"GetDiskFATname", 1, [](clsTarsin& t, const String& d) { return Answer(t.GetDiskFATname(d)); }},
        {"ChkSystemFdisk", 1, [](clsTarsin& t, const String& d) { return Answer(t.ChkSystemFdisk(d)); }},
        {"GetFixdDisk", 0,
         [](clsTarsin& t, const String&) {
             std::vector<String> drives(1);
             t.GetFixdDisk(drives);
             return Answer(drives);
         }},
        {"GetComputerDiskInfo", 0, [](clsTarsin& t, const String&) { return Answer(t.GetComputerDiskInfo()); }},
        {"GetComputerSoftWare", 0, [](clsTarsin& t, const String&) { return Answer(t.GetComputerSoftWare()); }},
        // The second public class: its list as a real array (index 0 is not shown).
        {"clsSoftWare.GetComputerSoftWare", 0,
         [](clsTarsin&, const String&) {
             std::vector<String> names(1);
             clsSoftWare(DefaultPlatform()).GetComputerSoftWare(names);
             return Answer(names);
         }},
    };
    return methods;
}

const Method* FindMethod(std::string_view name) {
    for (const auto& method : Methods())
        if (SameIgnoringAsciiCase(method.name, name)) return &method;
    return nullptr;
}

Outcome Call(const Method& method, const String& argument) {
    Outcome outcome;
    try {
        clsTarsin tarsin;
        outcome.answer = method.call(tarsin, argument);
        outcome.ok = true;
    } catch (...) {
        HostError error = ErrorFromException(std::current_exception());
        outcome.number = error.number;
        outcome.description = std::move(error.description);
    }
    return outcome;
}

}  // namespace velmora::cli
