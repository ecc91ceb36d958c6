// The call log under load, on the real backend of this build: several processes,
// each with several threads, call real methods at once with the log in a scratch
// folder. Afterwards every entry is whole (no torn or interleaved lines) and every
// call left its begin and its end entry.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "LogCheck.h"
#include "Scratch.h"
#include "Threads.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

#ifdef _WIN32
#include <windows.h>
#undef GetComputerName  // the method of that name, not the ANSI function

#include "platform/win32/Win32Platform.h"
#else
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/linux/LinuxPlatform.h"
#endif

namespace velmora {
namespace {

#ifdef _WIN32
using Backend = Win32Platform;
// The log is written in the component's code page, 936.
const std::string kDayMark = "\xC8\xD5", kBegin = "\xBF\xAA\xCA\xBC", kEnd = "\xBD\xE1\xCA\xF8";
// Wine lost appends when writers did not take turns; these counts showed it.
constexpr int kProcesses = 3, kThreads = 4, kCalls = 60;
#else
using Backend = LinuxPlatform;
const std::string kDayMark = "日", kBegin = "开始", kEnd = "结束";
constexpr int kProcesses = 4, kThreads = 4, kCalls = 1000;
#endif

// Cheap methods, each through the whole call bracket; thread t calls method t % 3.
const std::array<const char*, 3> kMethods = {"GetOperatingSystemVersion", "GetComputerName", "GetCPUManufacturer"};

void CallMethod(clsTarsin& tarsin, int which) {
    switch (which) {
        case 0: tarsin.GetOperatingSystemVersion(); break;
        case 1: tarsin.GetComputerName(); break;
        default: tarsin.GetCPUManufacturer(); break;
    }
}

// One writer process: kThreads threads sharing one facade, kCalls calls each.
int CallFromThreads(const std::string& folder) {
    Backend backend(Utf8ToUtf16(folder));
    clsTarsin tarsin(backend.platform());
    ::testing::RunThreads(kThreads, [&](int t) {
        for (int i = 0; i < kCalls; ++i) CallMethod(tarsin, t % 3);
    });
    return 0;
}

#ifdef _WIN32
std::string SelfPath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// Starts this program again as a writer; the handle is waited on later.
HANDLE StartWriter(const std::string& folder) {
    std::string command = "\"" + SelfPath() + "\" --child-calls \"" + folder + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

// Every writer process at once, this one among them; false if one failed.
bool RunWriters(const std::string& folder) {
    std::vector<HANDLE> children;
    for (int p = 1; p < kProcesses; ++p) children.push_back(StartWriter(folder));
    CallFromThreads(folder);
    bool ok = true;
    for (HANDLE child : children) {
        if (!child) {
            ok = false;
            continue;
        }
        DWORD code = 1;
        ok = ::WaitForSingleObject(child, 240000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(child, &code) && code == 0 && ok;
        ::CloseHandle(child);
    }
    return ok;
}
#else
bool RunWriters(const std::string& folder) {
    std::vector<pid_t> children;
    for (int p = 1; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(CallFromThreads(folder));
        children.push_back(pid);
    }
    CallFromThreads(folder);
    bool ok = true;
    for (const pid_t pid : children) {
        int status = 0;
        ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
    }
    return ok;
}
#endif

TEST(LogUnderLoad, EveryCallLeavesWholeBeginAndEndEntries) {
    const testing::ScratchTree folder;
    ASSERT_TRUE(RunWriters(folder.root()));

    std::vector<testing::LogEntry> entries;
    std::string problem;
    const std::string log = testing::ReadAll(folder.path() / "Dovrell.log");
    ASSERT_TRUE(testing::ParseLog(log, kDayMark, entries, problem)) << problem;

    // Begin and end entries per method: each thread of each process made kCalls calls
    // of its method; a lost, torn or doubled entry changes a count.
    std::map<std::string, std::pair<int, int>> counts;
    for (const auto& entry : entries) {
        if (entry.message == kBegin)
            ++counts[entry.name].first;
        else if (entry.message == kEnd)
            ++counts[entry.name].second;
        else
            ADD_FAILURE() << "unexpected entry: [" << entry.name << "] " << entry.message;
    }
    EXPECT_EQ(entries.size(), static_cast<size_t>(2 * kProcesses * kThreads * kCalls));
    EXPECT_EQ(counts.size(), kMethods.size());
    for (size_t m = 0; m < kMethods.size(); ++m) {
        int threadsOnMethod = 0;
        for (int t = 0; t < kThreads; ++t) threadsOnMethod += t % 3 == static_cast<int>(m);
        const int expected = kProcesses * threadsOnMethod * kCalls;
        EXPECT_EQ(counts[kMethods[m]].first, expected) << kMethods[m] << " begin entries";
        EXPECT_EQ(counts[kMethods[m]].second, expected) << kMethods[m] << " end entries";
    }
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--child-calls") return velmora::CallFromThreads(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
