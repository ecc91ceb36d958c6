#pragma once
// A scripted, in-memory platform: tests set the fields, drive the real workers,
// and read back what the component asked and wrote.
#include <map>
#include <optional>
#include <vector>

#include "FakeCpu.h"
#include "FakeDisk.h"
#include "FakeNetBios.h"
#include "FakeRegistry.h"
#include "FakeSockets.h"
#include "FakeSystemInfo.h"
#include "FakeWave.h"
#include "platform/Platform.h"

namespace velmora::testing {

struct FakeFile {
    std::string bytes;
    bool hidden = false;
    bool system = false;
    bool unreadable = false;  // exists, but opening it for input fails
};

class FakePlatform final : public IVersion, public IFiles, public IHost, public ICodec {
public:
    Platform& platform() { return platform_; }
    operator Platform&() { return platform_; }

    // Version family.
    OsVersionInfoA versionRecord{};  // what GetVersionExA fills in
    bool versionExFails = false;
    uint32_t versionWord = 0;
    std::optional<std::string> systemDirectory = "C:\\WINNT\\system32";  // nullopt: the call fails
    std::string ownSystemName;  // what a system that is not Windows calls itself

    // Files family; paths compare exactly.
    std::map<String, FakeFile> files;
    std::map<String, std::string> appended;  // what AppendToFile wrote, per path
    bool appendFails = false;
    int appendCalls = 0;

    // Host family.
    String moduleFolder = u"C:\\Program Files\\Velmora";
    LocalTime now{2026, 12, 7, 5, 30, 33};
    String decimalSeparator = u".";
    String thousandsSeparator = u",";
    int pendingMessageYields = 0;

    // Disk and drive families: scripted devices, libraries and drives.
    FakeDisk disk;
    FakeLibraries libraries;
    FakeDrives drives;

    // Cpu family: scripted leaves and counters.
    FakeCpu cpu;

    // Registry family: the in-memory tree, filled by each test.
    FakeRegistry registry;
    // System information family: memory records and the computer name.
    FakeSystemInfo systemInfo;
    // Network and sound families: adapters, sockets service, wave-output devices.
    FakeNetBios netbios;
    FakeSockets sockets;
    FakeWave wave;

    void SetVersion(uint32_t platformId, uint32_t major, uint32_t minor);
    // The call log as written beside the module folder.
    std::string Log() { return appended[moduleFolder + u"\\Dovrell.log"]; }

    int32_t GetVersionExA(OsVersionInfoA& info) override;
    uint32_t GetVersion() override { return versionWord; }
    uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) override;
    std::string OwnSystemName() override { return ownSystemName; }
    bool FileExists(const String& path, FileMarks admit) override;
    std::unique_ptr<ILineInput> OpenLineInput(const String& path) override;
    bool AppendToFile(const String& path, std::string_view bytes) override;
    String ModuleFolder() override { return moduleFolder; }
    LocalTime Now() override { return now; }
    String DecimalSeparator() override { return decimalSeparator; }
    String ThousandsSeparator() override { return thousandsSeparator; }
    void ProcessPendingMessages() override { ++pendingMessageYields; }
    // The fake's ANSI code page is UTF-8, so test texts read naturally.
    String AnsiToString(std::string_view bytes) override;
    std::string StringToAnsi(StringView text) override;

private:
    // One line per service family; each family may be this object or a member.
    Platform platform_{
        .version = *this,
        .files = *this,
        .host = *this,
        .codec = *this,
        .disk = disk,
        .libraries = libraries,
        .drives = drives,
        .cpu = cpu,
        .registry = registry,
        .systemInfo = systemInfo,
        .netbios = netbios,
        .sockets = sockets,
        .wave = wave,
    };
};

// One log entry as the fake's fixed clock stamps it.
inline std::string FakeEntry(const char* name, const char* message) {
    return std::string("2026-12-07日 05:30:33  [") + name + "]  \r\n" + message + "\r\n";
}

}  // namespace velmora::testing
