#pragma once
// The real Linux backend. Windows notions map onto Linux as the README describes:
// backslashes in paths are folder separators, a name starting with "." is hidden,
// the version record carries Linux's own platform id and the kernel's version.
#include "platform/Platform.h"
#include "platform/linux/LinuxDisk.h"
#include "platform/linux/LinuxLibraries.h"
#include "platform/linux/LinuxDrives.h"
#include "platform/linux/LinuxCpu.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/LinuxNetBios.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/linux/LinuxWave.h"

namespace velmora {

class LinuxPlatform final : public IVersion, public IFiles, public IHost, public ICodec {
public:
    // `moduleFolder` overrides the folder of the loaded library (tests point it at
    // an unwritable place); empty means the real one.
    explicit LinuxPlatform(String moduleFolder = String());

    Platform& platform() { return platform_; }

    int32_t GetVersionExA(OsVersionInfoA& info) override;
    uint32_t GetVersion() override;
    uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) override;
    std::string OwnSystemName() override;

    bool FileExists(const String& path, FileMarks admit) override;
    std::unique_ptr<ILineInput> OpenLineInput(const String& path) override;
    bool AppendToFile(const String& path, std::string_view bytes) override;

    String ModuleFolder() override;
    String LogFolder() override;
    LocalTime Now() override;
    String DecimalSeparator() override;
    String ThousandsSeparator() override;
    void ProcessPendingMessages() override {}

    String AnsiToString(std::string_view bytes) override;
    void AppendAnsiTextUpToNull(std::string_view bytes, String& out) override;
    std::string StringToAnsi(StringView text) override;
    void StringToAnsiInto(StringView text, std::string& ansi) override;

    // The file-system path for a Windows-style path text: "\" becomes "/"; a NUL
    // ends nothing but makes the path unusable (empty).
    std::string NativePath(const String& path);

private:
    String moduleFolder_;
    LinuxDisk disk_;
    LinuxLibraries libraries_{*this, *this};
    LinuxDrives drives_;
    LinuxCpu cpu_;
    LinuxRegistry registry_;
    LinuxSystemInfo systemInfo_;
    LinuxNetBios netbios_;
    LinuxSockets sockets_;
    LinuxWave wave_;
    // One line per service family; each family may be this object or a member.
    Platform platform_{
        .version = *this,
        .files = *this,
        .host = *this,
        .codec = *this,
        .disk = disk_,
        .libraries = libraries_,
        .drives = drives_,
        .cpu = cpu_,
        .registry = registry_,
        .systemInfo = systemInfo_,
        .netbios = netbios_,
        .sockets = sockets_,
        .wave = wave_,
    };
};

// Kernel release text ("6.1.0-18-amd64") to major, minor and patch numbers.
struct KernelVersion {
    uint32_t major = 0, minor = 0, patch = 0;
};
KernelVersion ParseKernelRelease(std::string_view release);

}  // namespace velmora
