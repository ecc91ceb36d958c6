// Tarsin.dll as it is deployed, from a C++ host of the registered copy: the host's
// own message loop, a log that cannot be written or that another program locks, and
// a Corvel.dll planted where a library search would look.
// TARSIN_DLL names the registered copy, PLANTED_CORVEL the stranger's library.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#undef GetComputerName
#undef GetDiskFreeSpace
#include "Velmora.h"
#include "HostSupport.h"
#include "LogCheck.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using host::Bstr;
using host::DllFolder;
using host::ReadDllLog;
using host::Ref;
using host::Widen;

// The log is written in code page 936: 日, 开始, 结束.
const std::string kDayMark = "\xC8\xD5", kBegin = "\xBF\xAA\xCA\xBC", kEnd = "\xBD\xE1\xCA\xF8";

class Field : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin, tarsin.raw()),
                  S_OK);
        ASSERT_EQ(
            ::CoCreateInstance(CLSID_clsSoftWare, nullptr, CLSCTX_INPROC_SERVER, IID__clsSoftWare, software.raw()),
            S_OK);
    }
    std::wstring Version() {
        Bstr version;
        EXPECT_EQ(tarsin->GetOperatingSystemVersion(&version.p), S_OK);
        return version.text();
    }
    Ref<_clsTarsin> tarsin;
    Ref<_clsSoftWare> software;
};

// The entries written since `from` bytes of the log, as (name, message) pairs.
std::vector<std::pair<std::string, std::string>> EntriesSince(size_t from) {
    const std::string bytes = ReadDllLog();
    std::vector<velmora::testing::LogEntry> entries;
    std::string problem;
    EXPECT_TRUE(velmora::testing::ParseLog(bytes.substr(std::min(from, bytes.size())), kDayMark, entries, problem))
        << problem;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& entry : entries) pairs.emplace_back(entry.name, entry.message);
    return pairs;
}

TEST_F(Field, QuitMessagePostedBeforeACallIsStillThereAfterIt) {
    const struct {
        const char* what;
        std::function<HRESULT()> call;
    } calls[] = {
        {"GetCPUName",
         [&] {
             Bstr name;  // a name read means its characters were scanned, yielding to the host
             const HRESULT result = tarsin->GetCPUName(&name.p);
             EXPECT_FALSE(name.text().empty());
             return result;
         }},
        {"GetComputerSoftWare",
         [&] {
             Bstr list;
             return tarsin->GetComputerSoftWare(&list.p);
         }},
        {"clsSoftWare.GetComputerSoftWare",
         [&] {
             SAFEARRAY* names = nullptr;
             VARIANT_BOOL read = VARIANT_FALSE;
             const HRESULT result = software->GetComputerSoftWare(&names, &read);
             if (names) ::SafeArrayDestroy(names);
             return result;
         }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.what);
        ::PostQuitMessage(7);
        EXPECT_EQ(call.call(), S_OK);
        MSG message{};
        ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(message.wParam, 7u);
    }
}

// A message to the host's window whose handler calls the same object again while
// the list is being built: both answers right, the pairs of entries nested whole.
struct Reentry {
    _clsTarsin* tarsin;
    std::wstring version;
};

LRESULT CALLBACK ReenteringWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return ::DefWindowProcW(window, message, wParam, lParam);
    auto* reentry = reinterpret_cast<Reentry*>(lParam);
    Bstr version;
    reentry->tarsin->GetOperatingSystemVersion(&version.p);
    reentry->version = version.text().empty() ? L"(empty)" : version.text();
    return 0;
}

TEST_F(Field, HostWindowCallsInAgainWhileAListIsBuilt) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ReenteringWindow;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VelmoraReentry";
    ASSERT_NE(::RegisterClassW(&windowClass), 0);
    HWND window = ::CreateWindowW(L"VelmoraReentry", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    Bstr expectedList;
    ASSERT_EQ(tarsin->GetComputerSoftWare(&expectedList.p), S_OK);
    const std::wstring expectedVersion = Version();

    const size_t before = ReadDllLog().size();
    Reentry reentry{tarsin.p, L""};
    ASSERT_TRUE(::PostMessageW(window, WM_APP, 0, reinterpret_cast<LPARAM>(&reentry)));
    Bstr list;
    EXPECT_EQ(tarsin->GetComputerSoftWare(&list.p), S_OK);
    EXPECT_EQ(list.text(), expectedList.text());
    EXPECT_EQ(reentry.version, expectedVersion) << "the handler did not run during the list";
    const std::vector<std::pair<std::string, std::string>> nested = {
        {"GetComputerSoftWare", kBegin},
        {"GetOperatingSystemVersion", kBegin},
        {"GetOperatingSystemVersion", kEnd},
        {"GetComputerSoftWare", kEnd},
    };
    EXPECT_EQ(EntriesSince(before), nested);
    ::DestroyWindow(window);
    ::UnregisterClassW(L"VelmoraReentry", windowClass.hInstance);
}

// A folder in the log's place answers access denied, as Program Files does a
// standard user: every call answers, nothing is written. (The cost of such calls
// is measured in the benchmarks.)
TEST_F(Field, UnwritableLogLosesOnlyItsEntries) {
    const std::wstring log = DllFolder() + L"\\Dovrell.log";
    const std::wstring expected = Version();
    ::DeleteFileW(log.c_str());
    ASSERT_TRUE(::CreateDirectoryW(log.c_str(), nullptr));
    for (int i = 0; i < 40; ++i) ASSERT_EQ(Version(), expected);
    EXPECT_NE(::GetFileAttributesW(log.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    ::RemoveDirectoryW(log.c_str());
}

// Another program holds an exclusive lock on the whole log: a call still answers at
// once (on Windows its entries are lost; Wine lets the appends through), and once
// the lock is gone the call's entries are written whole.
int HoldLock(const wchar_t* path, const wchar_t* ready, const wchar_t* done) {
    HANDLE file = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE || !::LockFile(file, 0, 0, MAXDWORD, MAXDWORD)) return 3;
    HANDLE readyEvent = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready);
    HANDLE doneEvent = ::OpenEventW(SYNCHRONIZE, FALSE, done);
    if (!readyEvent || !doneEvent) return 4;
    ::SetEvent(readyEvent);
    ::WaitForSingleObject(doneEvent, 60000);
    ::UnlockFile(file, 0, 0, MAXDWORD, MAXDWORD);
    ::CloseHandle(file);
    return 0;
}

TEST_F(Field, LogLockedByAnotherProgramDelaysNoCall) {
    const std::wstring log = DllFolder() + L"\\Dovrell.log";
    const std::wstring expected = Version();  // the log exists
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, L"VelmoraLockReady");
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, L"VelmoraLockDone");
    std::wstring command = L"\"" + host::SelfPath() + L"\" --hold-lock \"" + log + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &child));
    ASSERT_EQ(::WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);

    const DWORD start = ::GetTickCount();
    EXPECT_EQ(Version(), expected);
    const DWORD took = ::GetTickCount() - start;
    EXPECT_LT(took, 5000u) << "a call waited on the lock";  // a hang guard, not a measure
    RecordProperty("locked_call_ms", static_cast<int>(took));

    ::SetEvent(done);
    EXPECT_EQ(::WaitForSingleObject(child.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(child.hProcess, &code);
    EXPECT_EQ(code, 0u);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(child.hThread);
    ::CloseHandle(ready);
    ::CloseHandle(done);

    const size_t before = ReadDllLog().size();
    EXPECT_EQ(Version(), expected);
    EXPECT_EQ(EntriesSince(before).size(), 2u);
}

// Corvel.dll planted in the current folder and on PATH is never loaded; the host
// program's own folder and the component's are places it was installed to.
TEST_F(Field, IdentityLibraryOnlyFromWhereItWasInstalled) {
    const std::wstring planted = Widen(std::getenv("PLANTED_CORVEL"));
    ASSERT_FALSE(planted.empty());
    const std::wstring beside = DllFolder() + L"\\Corvel.dll", aside = beside + L".aside";
    const std::wstring inHostFolder = host::FolderOf(host::SelfPath()) + L"\\Corvel.dll";
    const std::wstring current = L"C:\\velmora-cwd", onPath = L"C:\\velmora-path";
    for (const std::wstring& folder : {current, onPath}) {
        ::CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW(planted.c_str(), (folder + L"\\Corvel.dll").c_str(), FALSE));
    }
    wchar_t path[32767] = {};
    ::GetEnvironmentVariableW(L"PATH", path, 32767);
    ::SetEnvironmentVariableW(L"PATH", (onPath + L";" + path).c_str());
    ::SetCurrentDirectoryW(current.c_str());
    const auto code = [&] {
        Bstr serial;
        EXPECT_EQ(tarsin->GetDiskSerialNumber(&serial.p), S_OK);
        return serial.text();
    };
    const std::wstring installed = code();  // Wine refuses SMART: the code is Corvel's
    EXPECT_FALSE(installed.empty());
    EXPECT_NE(installed, L"PLANTED");

    ASSERT_TRUE(::MoveFileW(beside.c_str(), aside.c_str()));
    EXPECT_EQ(code(), L"") << "a library from the current folder or PATH was loaded";
    ASSERT_TRUE(::CopyFileW(planted.c_str(), inHostFolder.c_str(), FALSE));
    EXPECT_EQ(code(), L"PLANTED") << "the host program's folder is an installed place";
    ASSERT_TRUE(::MoveFileW(aside.c_str(), beside.c_str()));
    EXPECT_EQ(code(), installed) << "the component's own folder comes first";

    ::DeleteFileW(inHostFolder.c_str());
    ::SetEnvironmentVariableW(L"PATH", path);
    ::SetCurrentDirectoryW(DllFolder().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--hold-lock")
        return HoldLock(Widen(argv[2]).c_str(), L"VelmoraLockReady", L"VelmoraLockDone");
    return host::RunHostTests(argc, argv);
}
