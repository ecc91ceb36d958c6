#pragma once
// The real Win32 backend: each operation is the Win32 call it stands for.
#include "platform/Platform.h"
#include "platform/win32/Win32Disk.h"
#include "platform/win32/Win32Libraries.h"
#include "platform/win32/Win32Cpu.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32SystemInfo.h"
#include "platform/win32/Win32NetBios.h"
#include "platform/win32/Win32Sockets.h"
#include "platform/win32/Win32Wave.h"

namespace velmora {

class Win32Platform final : public IVersion, public IFiles, public IHost, public ICodec {
public:
    // `moduleFolder` overrides the folder of the loaded library (tests point it at
    // an unwritable place); empty means the real one.
    explicit Win32Platform(String moduleFolder = String());

    Platform& platform() { return platform_; }

    int32_t GetVersionExA(OsVersionInfoA& info) override;
    uint32_t GetVersion() override;
    uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) override;
    std::string OwnSystemName() override { return std::string(); }

    bool FileExists(const String& path, FileMarks admit) override;
    std::unique_ptr<ILineInput> OpenLineInput(const String& path) override;
    bool AppendToFile(const String& path, std::string_view bytes) override;

    String ModuleFolder() override;
    LocalTime Now() override;
    String DecimalSeparator() override;
    String ThousandsSeparator() override;
    void ProcessPendingMessages() override;

    String AnsiToString(std::string_view bytes) override;
    std::string StringToAnsi(StringView text) override;

private:
    // The ANSI path for the *A functions; empty if the text holds a NUL.
    std::string AnsiPath(const String& path);

    String moduleFolder_;
    Win32Disk disk_;
    Win32Libraries libraries_{*this};
    Win32Drives drives_;
    Win32Cpu cpu_;
    Win32Registry registry_;
    Win32SystemInfo systemInfo_;
    Win32NetBios netbios_;
    Win32Sockets sockets_;
    Win32Wave wave_;
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

}  // namespace velmora
