#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <cstdio>
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

// How long one entry may wait for its turn among the component's writers. A
// writer stopped while it holds the turn costs another call no more than this;
// 20 ms let a busy machine's writers time out and tear entries under Wine.
constexpr DWORD kLogTurnMilliseconds = 50;

// Append-only access: every write lands whole at the end of the file, wherever
// other writers left it. Any refusal (access denied, a folder in the file's place,
// a missing folder, another program's sharing mode) loses the entry at once.
HANDLE OpenForAppend(const std::string& path) {
    return ::CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The component's writers of one log take turns on a mutex named after its path:
// Wine, unlike Windows, can tear appends from two processes apart. The turn is
// waited for a bounded moment only; a writer that died holding it hands it on.
class LogTurn {
public:
    explicit LogTurn(const std::string& path) {
        // FNV-1a of the path, ASCII letters folded, as the file system folds them.
        uint32_t hash = 2166136261u;
        for (const char c : path) hash = (hash ^ static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c)) * 16777619u;
        char name[40];
        std::snprintf(name, sizeof name, "Velmora.Dovrell.%08X", static_cast<unsigned>(hash));
        mutex_ = ::CreateMutexA(nullptr, FALSE, name);
        if (!mutex_) return;
        const DWORD waited = ::WaitForSingleObject(mutex_, kLogTurnMilliseconds);
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~LogTurn() {
        if (held_) ::ReleaseMutex(mutex_);
        if (mutex_) ::CloseHandle(mutex_);
    }
    LogTurn(const LogTurn&) = delete;
    LogTurn& operator=(const LogTurn&) = delete;

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

}  // namespace

bool Win32Platform::AppendToFile(const String& path, std::string_view bytes) {
    const std::string ansi = AnsiPath(path);
    if (ansi.empty() || bytes.size() > MAXDWORD) return false;
    Handle file(OpenForAppend(ansi));
    if (!file.valid()) return false;
    // Without its turn the entry is written anyway: at worst it is torn by a writer
    // that was stopped, never does a call hang.
    const LogTurn turn(ansi);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
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
        if (message.message == WM_QUIT) {
            // The quit request belongs to the host's own loop: it is posted again
            // with its exit code, and nothing after it is taken from the queue.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
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
