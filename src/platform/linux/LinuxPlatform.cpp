#include "platform/linux/LinuxPlatform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "base/Int16.h"
#include "base/Mutex.h"
#include "base/RuntimeError.h"
#include "platform/common/BufferLineInput.h"
#include "platform/linux/OsRelease.h"
#include "platform/linux/SysFiles.h"
#include "text/Utf.h"

namespace velmora {
namespace {

constexpr char kSystemDirectory[] = "/etc";

// Leading decimal digits of `text`, consumed with one following dot; capped, not wrapped.
uint32_t TakeNumber(std::string_view& text) {
    constexpr uint32_t kCap = 999999999;
    uint32_t value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value > kCap / 10 ? kCap : std::min(kCap, value * 10 + static_cast<uint32_t>(text[i] - '0'));
    text.remove_prefix(i);
    if (!text.empty() && text.front() == '.') text.remove_prefix(1);
    return value;
}

void AnchorForModuleLookup() {}

// The folder of the loaded library file, resolved through its links; empty when the
// loader does not say.
String LoadedLibraryFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&AnchorForModuleLookup), &info) == 0 || info.dli_fname == nullptr)
        return String();
    char resolved[PATH_MAX];
    const char* file = ::realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    std::string folder(file);
    const auto slash = folder.rfind('/');
    // A bare file name says nothing of where the library is: no folder, rather than
    // the current one.
    if (slash == std::string::npos) return String();
    folder = slash == 0 ? "/" : folder.substr(0, slash);
    return Utf8ToUtf16(folder);
}

// The environment's numeric setting, in the C library's order of precedence.
std::string NumericSetting() {
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"})
        if (const char* value = ::getenv(name); value && *value) return value;
    return std::string();
}

// The locale for the environment's numeric setting, made the first time a setting is
// seen and kept for the process: making and freeing one on every call loads and
// unloads the locale's files each time. Null when the setting names no locale;
// nullopt when more settings were seen than are kept.
std::optional<locale_t> KeptNumericLocale(const std::string& setting) {
    constexpr size_t kMaxKept = 16;
    static Mutex mutex;
    // Never destroyed, the locales never freed: readers use them without the lock.
    static auto& kept = *new std::vector<std::pair<std::string, locale_t>>();
    const std::lock_guard<Mutex> turn(mutex);
    for (const auto& [name, locale] : kept)
        if (name == setting) return locale;
    if (kept.size() >= kMaxKept) return std::nullopt;
    return kept.emplace_back(setting, ::newlocale(LC_NUMERIC_MASK, "", locale_t{})).second;
}

// One item of the user's number settings: the LC_NUMERIC of the environment, whatever
// locale the host program has switched its own C library to. Empty when it has none.
std::string UserNumberSetting(nl_item item) {
    const auto read = [item](locale_t locale) {
        const char* text = locale ? ::nl_langinfo_l(item, locale) : nullptr;
        return std::string(text ? text : "");
    };
    if (const auto kept = KeptNumericLocale(NumericSetting())) return read(*kept);
    const UniqueLocale once(::newlocale(LC_NUMERIC_MASK, "", locale_t{}));  // a setting beyond those kept
    return read(once.get());
}

}  // namespace

KernelVersion ParseKernelRelease(std::string_view release) {
    KernelVersion v;
    v.major = TakeNumber(release);
    v.minor = TakeNumber(release);
    v.patch = TakeNumber(release);
    return v;
}

LinuxPlatform::LinuxPlatform(String moduleFolder) : moduleFolder_(std::move(moduleFolder)) {}

int32_t LinuxPlatform::GetVersionExA(OsVersionInfoA& info) {
    if (info.dwOSVersionInfoSize != sizeof(OsVersionInfoA)) return 0;
    utsname names{};
    if (::uname(&names) != 0) return 0;
    const KernelVersion v = ParseKernelRelease(names.release);
    info.dwMajorVersion = v.major;
    info.dwMinorVersion = v.minor;
    info.dwBuildNumber = v.patch;
    info.dwPlatformId = kPlatformLinux;
    std::memset(info.szCSDVersion, 0, sizeof info.szCSDVersion);
    return 1;
}

uint32_t LinuxPlatform::GetVersion() {
    utsname names{};
    if (::uname(&names) != 0) return 0;
    const KernelVersion v = ParseKernelRelease(names.release);
    // The word holds one byte each for major and minor; larger numbers are capped.
    const uint32_t major = v.major > 0xFF ? 0xFF : v.major;
    const uint32_t minor = v.minor > 0xFF ? 0xFF : v.minor;
    return major | (minor << 8) | ((v.patch & 0x7FFF) << 16);
}

uint32_t LinuxPlatform::GetSystemDirectoryA(char* buffer, uint32_t size) {
    const uint32_t length = sizeof kSystemDirectory - 1;
    if (buffer == nullptr || size < length + 1) return length + 1;
    std::memcpy(buffer, kSystemDirectory, length + 1);
    return length;
}

std::string LinuxPlatform::OwnSystemName() { return OsReleaseName("/"); }

std::string LinuxPlatform::NativePath(const String& path) {
    if (path.find(u'\0') != String::npos) return std::string();
    std::string native = StringToAnsi(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

bool LinuxPlatform::FileExists(const String& path, FileMarks admit) {
    const std::string native = NativePath(path);
    struct stat st{};
    if (native.empty() || ::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (admit == FileMarks::HiddenAndSystem) return true;
    const auto slash = native.rfind('/');
    const std::string_view base = slash == std::string::npos ? native : std::string_view(native).substr(slash + 1);
    return base.empty() || base.front() != '.';
}

std::unique_ptr<ILineInput> LinuxPlatform::OpenLineInput(const String& path) {
    const std::string native = NativePath(path);
    if (native.empty()) return nullptr;
    auto bytes = ReadSysFile(native, kMaxTextFileBytes, PastLimit::Refuse);
    if (!bytes) return nullptr;
    return std::make_unique<BufferLineInput>(std::move(*bytes));
}

bool LinuxPlatform::AppendToFile(const String& path, std::string_view bytes) {
    const std::string native = NativePath(path);
    if (native.empty()) return false;
    UniqueFd fd(::open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd) return false;
    // O_APPEND makes each write land whole at the current end, even with other
    // writers in other processes; a short write is continued, still at the end.
    bool ok = true;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd.get(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) { ok = false; break; }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return ::close(fd.release()) == 0 && ok;
}

String LinuxPlatform::ModuleFolder() {
    if (!moduleFolder_.empty()) return moduleFolder_;
    // The library cannot move while it is loaded: its folder is looked up once.
    static const String loaded = LoadedLibraryFolder();
    return loaded;
}

String LinuxPlatform::LogFolder() {
    const String folder = ModuleFolder();
#ifdef VELMORA_LOG_FOLDER
    // An installed library must never write beside itself under /usr: only the copy
    // in its own build tree (or a folder a test names) keeps its log there.
    if (moduleFolder_.empty() && folder != AnsiToString(VELMORA_BUILD_FOLDER)) return AnsiToString(VELMORA_LOG_FOLDER);
#endif
    return folder;
}

LocalTime LinuxPlatform::Now() {
    const time_t now = ::time(nullptr);
    struct tm parts{};
    ::localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

String LinuxPlatform::DecimalSeparator() {
    const std::string radix = UserNumberSetting(RADIXCHAR);
    return radix.empty() ? String(u".") : AnsiToString(radix);
}

String LinuxPlatform::ThousandsSeparator() {
    // The C locale has none, and then the comma stands in.
    const std::string separator = UserNumberSetting(THOUSEP);
    return separator.empty() ? String(u",") : AnsiToString(separator);
}

String LinuxPlatform::AnsiToString(std::string_view bytes) { return Utf8ToUtf16(bytes); }

// In UTF-8 a NUL byte is always the character U+0000 and never part of a sequence,
// so the text before it converts alone to what the whole buffer's conversion holds there.
void LinuxPlatform::AppendAnsiTextUpToNull(std::string_view bytes, String& out) {
    const size_t nul = bytes.find('\0');
    const size_t before = out.size();
    AppendUtf16(out, bytes.substr(0, nul));
    const auto units = static_cast<int64_t>(out.size() - before);
    if (nul != std::string_view::npos && !FitsInt16(units + 1)) Raise(Err::Overflow);  // as CutAtNull counts it
}

std::string LinuxPlatform::StringToAnsi(StringView text) { return Utf16ToUtf8(text); }

void LinuxPlatform::StringToAnsiInto(StringView text, std::string& ansi) {
    ansi.clear();
    AppendUtf8(ansi, text);
}

Platform& DefaultPlatform() {
    static LinuxPlatform instance;
    return instance.platform();
}

}  // namespace velmora
