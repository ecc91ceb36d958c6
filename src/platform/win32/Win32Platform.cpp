#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <cstring>

#include "platform/common/BufferLineInput.h"

namespace velmora {
namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    bool Close() {
        const bool ok = valid() && ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

void AnchorForModuleLookup() {}

}  // namespace

Win32Platform::Win32Platform(String moduleFolder) : moduleFolder_(std::move(moduleFolder)) {}

int32_t Win32Platform::GetVersionExA(OsVersionInfoA& info) {
    // The record is the plain form; a caller claiming the larger EX form would let
    // Windows write past it, so that is refused as Windows refuses a wrong size.
    if (info.dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return 0;
    OSVERSIONINFOA native{};
    native.dwOSVersionInfoSize = sizeof native;
    if (!::GetVersionExA(&native)) return 0;
    info.dwMajorVersion = native.dwMajorVersion;
    info.dwMinorVersion = native.dwMinorVersion;
    info.dwBuildNumber = native.dwBuildNumber;
    info.dwPlatformId = native.dwPlatformId;
    std::memcpy(info.szCSDVersion, native.szCSDVersion, sizeof info.szCSDVersion);
    return 1;
}

uint32_t Win32Platform::GetVersion() { return ::GetVersion(); }

uint32_t Win32Platform::GetSystemDirectoryA(char* buffer, uint32_t size) {
    return ::GetSystemDirectoryA(buffer, size);
}

std::string Win32Platform::AnsiPath(const String& path) {
    if (path.find(u'\0') != String::npos) return std::string();
    return StringToAnsi(path);
}

bool Win32Platform::FileExists(const String& path, FileMarks admit) {
    const std::string ansi = AnsiPath(path);
    if (ansi.empty()) return false;
    const DWORD attributes = ::GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (admit == FileMarks::HiddenAndSystem) return true;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::unique_ptr<ILineInput> Win32Platform::OpenLineInput(const String& path) {
    const std::string ansi = AnsiPath(path);
    if (ansi.empty()) return nullptr;
    Handle file(::CreateFileA(ansi.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return nullptr;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kMaxTextFileBytes))
        return nullptr;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return nullptr;
    bytes.resize(read);
    return std::make_unique<BufferLineInput>(std::move(bytes));
}

namespace {

// Opening can fail for a moment while another writer creates or holds the file;
// a short, bounded retry keeps that entry instead of losing it.
HANDLE OpenForAppend(const std::string& path) {
    constexpr int kTries = 50;
    for (int attempt = 0;; ++attempt) {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        const DWORD error = ::GetLastError();
        const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                               error == ERROR_ACCESS_DENIED;
        if (!transient || attempt + 1 >= kTries) return INVALID_HANDLE_VALUE;
        ::Sleep(2);
    }
}

}  // namespace

bool Win32Platform::AppendToFile(const String& path, std::string_view bytes) {
    const std::string ansi = AnsiPath(path);
    if (ansi.empty()) return false;
    Handle file(OpenForAppend(ansi));
    if (!file.valid()) return false;
    // Appends are not atomic against other processes everywhere (Wine positions and
    // writes in two steps), so writers take turns on a lock byte far beyond any real
    // data, which never blocks readers of the log itself.
    OVERLAPPED mutexByte{};
    mutexByte.Offset = 0xFFFFFFFEu;
    mutexByte.OffsetHigh = 0x7FFFFFFFu;
    const bool locked = ::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &mutexByte);
    LARGE_INTEGER end{};
    DWORD written = 0;
    const BOOL ok = ::SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END) &&
                    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (locked) ::UnlockFileEx(file.get(), 0, 1, 0, &mutexByte);
    return file.Close() && ok && written == bytes.size();
}

String Win32Platform::ModuleFolder() {
    if (!moduleFolder_.empty()) return moduleFolder_;
    HMODULE self = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(&AnchorForModuleLookup), &self))
        return String();
    char file[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(self, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return String();
    std::string folder(file, length);
    const auto slash = folder.rfind('\\');
    if (slash == std::string::npos) return String();
    // A library in a drive's root keeps its separator ("C:\"), as the folder of a root does.
    folder.resize(slash == 2 && folder[1] == ':' ? slash + 1 : slash);
    return AnsiToString(folder);
}

LocalTime Win32Platform::Now() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

String Win32Platform::DecimalSeparator() {
    char buffer[8] = {};
    const int length = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer);
    if (length <= 1) return u".";
    return AnsiToString(std::string_view(buffer, static_cast<size_t>(length - 1)));
}

String Win32Platform::ThousandsSeparator() {
    char buffer[8] = {};
    const int length = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, sizeof buffer);
    if (length == 0) return u",";
    // A user may choose no separator at all; then the groups simply run together.
    return AnsiToString(std::string_view(buffer, static_cast<size_t>(length - 1)));
}

void Win32Platform::ProcessPendingMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

String Win32Platform::AnsiToString(std::string_view bytes) {
    if (bytes.empty()) return String();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    String text(static_cast<size_t>(length), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                          reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

std::string Win32Platform::StringToAnsi(StringView text) {
    if (text.empty()) return std::string();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int units = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, units, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

Platform& DefaultPlatform() {
    static Win32Platform instance;
    return instance.platform();
}

}  // namespace velmora
