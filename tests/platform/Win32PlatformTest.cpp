// The real Win32 backend, run under Wine in the test run's scratch prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "LogCheck.h"
#include "Scratch.h"
#include "Threads.h"
#include "platform/win32/Win32Platform.h"
#include "public/clsTarsin.h"
#include "public/modPublic.h"
#include "system/clsOperatingSystem.h"
#include "text/Utf.h"

namespace velmora {
namespace {

std::string SelfPath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// Runs this program again with `arguments`; Wine reads its Windows version when a
// process starts, so each version needs a process of its own.
DWORD RunChild(const std::string& arguments) {
    std::string command = "\"" + SelfPath() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

void SetWineVersion(const char* version) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    if (version)
        ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                         static_cast<DWORD>(std::strlen(version) + 1));
    else
        ::RegDeleteValueA(key, "Version");
    ::RegCloseKey(key);
}

std::string SystemDirectoryFile(const char* name) {
    char dir[MAX_PATH] = {};
    ::GetSystemDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + name;
}

struct VersionCase {
    const char* wineVersion;
    const char* prodspec;  // "none", "plain" (with a product line) or "hidden"
    const char* name;
    const char* version;
};

// Child side: lay out prodspec.ini as asked, answer through the real facade, write
// both answers to `out` (UTF-8, one a line).
int ChildOsAnswers(const std::string& prodspec, const std::string& out) {
    const std::string file = SystemDirectoryFile("prodspec.ini");
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(file.c_str());
    if (prodspec != "none") {
        std::ofstream(file, std::ios::binary) << "[Product]\r\nProduct=Windows 2000 Server\r\n";
        if (prodspec == "hidden") ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    clsTarsin tarsin;
    std::ofstream(out, std::ios::binary) << Utf16ToUtf8(tarsin.GetOperatingSystemName()) << "\n"
                                         << Utf16ToUtf8(tarsin.GetOperatingSystemVersion()) << "\n";
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(file.c_str());
    return 0;
}

TEST(Win32Version, WineVersionsGiveTheEditionTable) {
    const VersionCase cases[] = {
        {"win95", "none", "Windows 95", "4.00"},
        {"win98", "none", "Windows 98", "4.10"},
        {"nt40", "none", "Windows NT", "4.00"},
        {"win2k", "none", "Windows 2000 Professional", "5.00"},
        {"win2k", "plain", "Windows 2000 Server", "5.00"},
        {"win2k", "hidden", "Windows 2000 Professional", "5.00"},
        {"winxp", "plain", "Windows XP Professional", "5.01"},
        {"win2003", "none", "Windows 2003 Server", "5.02"},
    };
    const testing::ScratchTree scratch;
    const std::string folder = scratch.root();
    for (const auto& c : cases) {
        SetWineVersion(c.wineVersion);
        const std::string out = folder + "\\answers.txt";
        ::DeleteFileA(out.c_str());
        ASSERT_EQ(RunChild(std::string("--child-os-answers ") + c.prodspec + " \"" + out + "\""), 0u);
        EXPECT_EQ(testing::ReadAll(out), std::string(c.name) + "\n" + c.version + "\n")
            << c.wineVersion << " with prodspec.ini " << c.prodspec;
    }
    SetWineVersion(nullptr);
}

TEST(Win32Files, HiddenFilePassesOnlyTheWideTest) {
    const testing::ScratchTree scratch;
    const std::string folder = scratch.root();
    const std::string plain = folder + "\\plain.ini", hidden = folder + "\\hidden.ini", system = folder + "\\sys.ini";
    for (const auto& path : {plain, hidden, system}) std::ofstream(path) << "x";
    ::SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    Win32Platform win32;
    auto text = [](const std::string& s) { return Utf8ToUtf16(s); };
    EXPECT_TRUE(win32.FileExists(text(plain), FileMarks::NormalOnly));
    EXPECT_FALSE(win32.FileExists(text(hidden), FileMarks::NormalOnly));
    EXPECT_TRUE(win32.FileExists(text(hidden), FileMarks::HiddenAndSystem));
    EXPECT_FALSE(win32.FileExists(text(system), FileMarks::NormalOnly));
    EXPECT_TRUE(win32.FileExists(text(system), FileMarks::HiddenAndSystem));
    EXPECT_FALSE(win32.FileExists(text(folder), FileMarks::HiddenAndSystem));
    EXPECT_FALSE(win32.FileExists(text(folder + "\\missing"), FileMarks::HiddenAndSystem));
}

TEST(Win32Files, LineInputRules) {
    const testing::ScratchTree scratch;
    const std::string folder = scratch.root();
    std::ofstream(folder + "\\lines.txt", std::ios::binary) << "a\r\nb\rc\nd\r\n\r\ne";
    Win32Platform win32;
    auto input = win32.OpenLineInput(Utf8ToUtf16(folder + "\\lines.txt"));
    ASSERT_TRUE(input);
    std::vector<std::string> lines;
    for (std::string line; input->ReadLine(line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c\nd", "", "e"}));
    EXPECT_FALSE(win32.OpenLineInput(Utf8ToUtf16(folder + "\\missing.txt")));
}

TEST(Win32Log, ExactBytesInTheAnsiCodePage) {
    ASSERT_EQ(::GetACP(), 936u) << "the test run sets LANG=zh_CN.UTF-8 for code page 936";
    const testing::ScratchTree scratch;
    const std::string folder = scratch.root();
    Win32Platform win32(Utf8ToUtf16(folder));
    clsTarsin tarsin(win32.platform());
    tarsin.GetOperatingSystemName();
    const std::string bytes = testing::ReadAll(folder + "\\Dovrell.log");
    std::vector<testing::LogEntry> entries;
    std::string problem;
    ASSERT_TRUE(testing::ParseLog(bytes, "\xC8\xD5", entries, problem)) << problem;  // 日 in GBK
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "GetOperatingSystemName");
    EXPECT_EQ(entries[0].message, "\xBF\xAA\xCA\xBC");  // 开始
    EXPECT_EQ(entries[1].message, "\xBD\xE1\xCA\xF8");  // 结束
}

TEST(Win32Log, RealFolderIsTheModulesOwn) {
    Win32Platform win32;
    std::string self = SelfPath();
    self.resize(self.rfind('\\'));
    EXPECT_EQ(Utf16ToUtf8(win32.ModuleFolder()), self);
}

TEST(Win32Log, UnwritableFolderLeavesAnswerAndCreatesNoFile) {
    Win32Platform unwritable(u"Z:\\proc\\velmora-unwritable");
    Win32Platform normal;
    EXPECT_EQ(clsTarsin(unwritable.platform()).GetOperatingSystemVersion(),
              clsOperatingSystem(normal.platform()).GetOperatingSystemVersion());
    EXPECT_EQ(::GetFileAttributesA("Z:\\proc\\velmora-unwritable\\Dovrell.log"), INVALID_FILE_ATTRIBUTES);
}

int ChildWriteEntries(const std::string& folder, const std::string& tag, int count) {
    Win32Platform win32(Utf8ToUtf16(folder));
    for (int i = 0; i < count; ++i) WriteLog(win32.platform(), u"开始", 0, Utf8ToUtf16(tag));
    return 0;
}

TEST(Win32Log, EntriesStayWholeAcrossThreadsAndProcesses) {
    const testing::ScratchTree scratch;
    const std::string folder = scratch.root();
    constexpr int kEntries = 100;
    // Three threads of this process and two child processes write at once.
    ::testing::RunThreads(5, [&](int w) {
        if (w < 3)
            ChildWriteEntries(folder, "T" + std::to_string(w), kEntries);
        else
            RunChild("--child-write-entries \"" + folder + "\" P" + std::to_string(w - 3) + " " +
                     std::to_string(kEntries));
    });
    std::vector<testing::LogEntry> entries;
    std::string problem;
    ASSERT_TRUE(testing::ParseLog(testing::ReadAll(folder + "\\Dovrell.log"), "\xC8\xD5", entries, problem)) << problem;
    std::map<std::string, int> perWriter;
    for (const auto& entry : entries) ++perWriter[entry.name];
    EXPECT_EQ(entries.size(), 5u * kEntries);
    for (const auto& [name, count] : perWriter) EXPECT_EQ(count, kEntries) << name;
}

// Run with LANG=de_DE.UTF-8 by the test run: the user's separator is a comma.
TEST(Win32Locale, VersionUsesTheUsersDecimalSeparator) {
    const char* expected = std::getenv("VELMORA_EXPECT_DECIMAL");
    if (!expected) GTEST_SKIP() << "run by the test run with a German locale";
    Win32Platform win32;
    EXPECT_EQ(Utf16ToUtf8(win32.DecimalSeparator()), expected);
    const std::string version = Utf16ToUtf8(clsOperatingSystem(win32.platform()).GetOperatingSystemVersion());
    EXPECT_NE(version.find(expected), std::string::npos) << version;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child-os-answers") return velmora::ChildOsAnswers(argv[2], argv[3]);
    if (argc == 5 && std::string(argv[1]) == "--child-write-entries")
        return velmora::ChildWriteEntries(argv[2], argv[3], std::atoi(argv[4]));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
