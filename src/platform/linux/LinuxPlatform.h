#pragma once
// The real Linux backend. Windows notions map onto Linux as the README describes:
// backslashes in paths are folder separators, a name starting with "." is hidden,
// the version record carries Linux's own platform id and the kernel's version.
#include "platform/Platform.h"

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

    bool FileExists(const String& path, FileMarks admit) override;
    std::unique_ptr<ILineInput> OpenLineInput(const String& path) override;
    bool AppendToFile(const String& path, std::string_view bytes) override;

    String ModuleFolder() override;
    LocalTime Now() override;
    String DecimalSeparator() override;
    void ProcessPendingMessages() override {}

    String AnsiToString(std::string_view bytes) override;
    std::string StringToAnsi(StringView text) override;

    // The file-system path for a Windows-style path text: "\" becomes "/"; a NUL
    // ends nothing but makes the path unusable (empty).
    std::string NativePath(const String& path);

private:
    String moduleFolder_;
    // One line per service family; each family may be this object or a member.
    Platform platform_{
        .version = *this,
        .files = *this,
        .host = *this,
        .codec = *this,
    };
};

// Kernel release text ("6.1.0-18-amd64") to major, minor and patch numbers.
struct KernelVersion {
    uint32_t major = 0, minor = 0, patch = 0;
};
KernelVersion ParseKernelRelease(std::string_view release);

}  // namespace velmora
