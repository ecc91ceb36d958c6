// The real Linux backend, checked against what the system says independently.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "LogCheck.h"
#include "Scratch.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/OsRelease.h"
#include "public/clsTarsin.h"
#include "public/modPublic.h"
#include "system/clsOperatingSystem.h"
#include "text/Utf.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

using testing::ReadAll;

class TempDir : public testing::ScratchTree {
public:
    String text() const { return Utf8ToUtf16(root()); }
};

TEST(LinuxVersion, KernelReleaseParsing) {
    const struct {
        const char* release;
        uint32_t major, minor, patch;
    } cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0}, {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153},
        {"4.19", 4, 19, 0}, {"", 0, 0, 0}, {"x", 0, 0, 0}, {"99999999999.3", 999999999, 3, 0},
    };
    for (const auto& c : cases) {
        const KernelVersion v = ParseKernelRelease(c.release);
        EXPECT_EQ(v.major, c.major) << c.release;
        EXPECT_EQ(v.minor, c.minor) << c.release;
        EXPECT_EQ(v.patch, c.patch) << c.release;
    }
}

TEST(LinuxVersion, AgreesWithProcAndNamesTheSystemAsOsReleaseDoes) {
    const std::string release = ReadAll("/proc/sys/kernel/osrelease");
    const KernelVersion expected = ParseKernelRelease(release);
    LinuxPlatform backend;
    OsVersionInfoA info{};
    info.dwOSVersionInfoSize = 148;
    ASSERT_NE(backend.GetVersionExA(info), 0);
    EXPECT_EQ(info.dwPlatformId, kPlatformLinux);
    EXPECT_EQ(info.dwMajorVersion, expected.major);
    EXPECT_EQ(info.dwMinorVersion, expected.minor);
    info.dwOSVersionInfoSize = 100;
    EXPECT_EQ(backend.GetVersionExA(info), 0);

    clsOperatingSystem os(backend.platform());
    // The file as a shell reads it, apart from the backend's own parser.
    const std::string pretty = testing::Shell(
        "sh -c '. /etc/os-release 2>/dev/null || . /usr/lib/os-release 2>/dev/null; printf %s \"$PRETTY_NAME\"'");
    EXPECT_EQ(os.GetOperatingSystemName(), Utf8ToUtf16(pretty));
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", expected.major + expected.minor / 100.0);
    String version = Utf8ToUtf16(text);
    version[version.size() - 3] = backend.DecimalSeparator()[0];
    EXPECT_EQ(os.GetOperatingSystemVersion(), version);
}

TEST(LinuxVersion, OwnNameFromOsRelease) {
    const struct {
        std::string_view etc, usrLib;  // empty: no file
        const char* expected;
    } cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", {},
         "Debian GNU/Linux 12 (bookworm)"},
        {{}, "PRETTY_NAME='Arch Linux'", "Arch Linux"},
        {"ID=x\n", "PRETTY_NAME=Fallback", "Fallback"},  // etc names none
        {"PRETTY_NAME=\"A \\\"B\\\" \\$C\"\r\n", {}, "A \"B\" $C"},
        {"XPRETTY_NAME=no\n#PRETTY_NAME=no\nPRETTY_NAME=one\nPRETTY_NAME=two  \n", {}, "two"},
        {"PRETTY_NAME=\"unclosed\n", {}, "\"unclosed"},
        {"PRETTY_NAME=\n", "PRETTY_NAME=later", ""},  // named, but empty
        {{}, {}, ""},
    };
    for (const auto& c : cases) {
        TempDir root;
        if (!c.etc.empty()) root.Write("etc/os-release", std::string(c.etc));
        if (!c.usrLib.empty()) root.Write("usr/lib/os-release", std::string(c.usrLib));
        EXPECT_EQ(OsReleaseName(root.root() + "/"), c.expected) << c.etc;
    }
}

TEST(LinuxFiles, ExistenceTestsAndMarks) {
    TempDir dir;
    dir.Write("plain.ini", "x");
    dir.Write(".hidden.ini", "x");
    fs::create_directory(dir.path() / "folder.ini");
    LinuxPlatform backend;
    const struct {
        const char* name;
        bool normal, any;
    } cases[] = {
        {"plain.ini", true, true}, {".hidden.ini", false, true}, {"folder.ini", false, false},
        {"missing.ini", false, false},
    };
    for (const auto& c : cases) {
        const String path = dir.text() + u"\\" + Utf8ToUtf16(c.name);  // Windows-style separator
        EXPECT_EQ(backend.FileExists(path, FileMarks::NormalOnly), c.normal) << c.name;
        EXPECT_EQ(backend.FileExists(path, FileMarks::HiddenAndSystem), c.any) << c.name;
    }
    EXPECT_FALSE(backend.FileExists(dir.text() + String(u"/plain.ini\0x", 12), FileMarks::HiddenAndSystem));
}

TEST(LinuxFiles, LineInputRulesAndSizeLimit) {
    TempDir dir;
    const fs::path file = dir.Write("lines.txt", "a\r\nb\rc\nd\r\n\r\ne");
    LinuxPlatform backend;
    auto input = backend.OpenLineInput(Utf8ToUtf16(file.string()));
    ASSERT_TRUE(input);
    std::vector<std::string> lines;
    for (std::string line; input->ReadLine(line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c\nd", "", "e"}));

    const fs::path big = dir.path() / "big.txt";
    fs::resize_file(dir.Write("big.txt", ""), (16u << 20) + 1);
    EXPECT_FALSE(backend.OpenLineInput(Utf8ToUtf16(big.string())));
    EXPECT_FALSE(backend.OpenLineInput(dir.text() + u"/missing"));
}

TEST(LinuxLog, WritesExactBytesBesideTheFolder) {
    TempDir dir;
    LinuxPlatform backend(dir.text());
    clsTarsin tarsin(backend.platform());
    const String answer = tarsin.GetOperatingSystemVersion();
    std::vector<testing::LogEntry> entries;
    std::string problem;
    const std::string bytes = ReadAll(dir.path() / "Dovrell.log");
    ASSERT_TRUE(testing::ParseLog(bytes, "日", entries, problem)) << problem;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message, "开始");
    EXPECT_EQ(entries[1].message, "结束");
    EXPECT_EQ(entries[0].name, "GetOperatingSystemVersion");
    EXPECT_EQ(bytes.substr(bytes.size() - 2 - 6), "结束\r\n");
    EXPECT_FALSE(answer.empty());
}

TEST(LinuxLog, UnwritableFolderLeavesAnswerAndCreatesNoFile) {
    // /proc refuses new files even to root, so this holds whoever runs the tests.
    LinuxPlatform backend(u"/proc/velmora-unwritable");
    LinuxPlatform normal;
    clsTarsin tarsin(backend.platform());
    EXPECT_EQ(tarsin.GetOperatingSystemVersion(), clsOperatingSystem(normal.platform()).GetOperatingSystemVersion());
    EXPECT_FALSE(fs::exists("/proc/velmora-unwritable/Dovrell.log"));

    if (::geteuid() != 0) {  // permission bits bind only a user other than root
        TempDir dir;
        ::chmod(dir.path().c_str(), 0555);
        LinuxPlatform locked(dir.text());
        clsTarsin(locked.platform()).GetOperatingSystemName();
        EXPECT_FALSE(fs::exists(dir.path() / "Dovrell.log"));
        ::chmod(dir.path().c_str(), 0755);
    }
}

TEST(LinuxLog, RealModuleFolderHoldsTheLibrary) {
    LinuxPlatform backend;
    const fs::path folder = Utf16ToUtf8(backend.ModuleFolder());
    EXPECT_TRUE(fs::exists(folder / "libvelmora.so")) << folder;
    // Only installed copies log into the folder fixed at build time; this one is in its build tree.
    EXPECT_EQ(backend.LogFolder(), backend.ModuleFolder());
}

TEST(LinuxLog, EntriesStayWholeAcrossThreadsAndProcesses) {
    TempDir dir;
    constexpr int kProcesses = 4, kThreads = 4, kEntries = 250;
    auto writeMany = [&](int process) {
        LinuxPlatform backend(dir.text());
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                const String name = FromAscii("P" + std::to_string(process) + "T" + std::to_string(t));
                for (int i = 0; i < kEntries; ++i) WriteLog(backend.platform(), u"开始", 0, name);
            });
        for (auto& thread : threads) thread.join();
    };
    std::vector<pid_t> children;
    for (int p = 1; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            writeMany(p);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    writeMany(0);
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<testing::LogEntry> entries;
    std::string problem;
    ASSERT_TRUE(testing::ParseLog(ReadAll(dir.path() / "Dovrell.log"), "日", entries, problem)) << problem;
    std::map<std::string, int> perWriter;
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.message, "开始");
        ++perWriter[entry.name];
    }
    EXPECT_EQ(entries.size(), static_cast<size_t>(kProcesses * kThreads * kEntries));
    EXPECT_EQ(perWriter.size(), static_cast<size_t>(kProcesses * kThreads));
    for (const auto& [name, count] : perWriter) EXPECT_EQ(count, kEntries) << name;
}

// velmora as a person runs it: grouped, every fact once, lists counted, no line
// wider than a terminal.
TEST(VelmoraReport, GroupedCountedAndNarrow) {
    const std::string cli = VELMORA_CLI_PATH;
    const std::string report = testing::Shell(cli);
    std::vector<std::string> groups;
    std::map<std::string, int> shown;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        const auto columns = std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; });
        EXPECT_LE(columns, 80) << line;
        if (!line.empty() && line[0] != ' ') groups.push_back(line);
        std::istringstream words(line);
        for (std::string word; words >> word;) ++shown[word];
    }
    EXPECT_EQ(groups, (std::vector<std::string>{"Processor", "Memory", "Disks", "Network", "Sound", "System",
                                                 "Software"}));
    std::istringstream names(testing::Shell(cli + " --list"));
    int withoutArgument = 0;
    for (std::string name; std::getline(names, name);) {
        const bool takesDrive = name == "GetDiskFreeSpace" || name == "GetDiskSpace" || name == "GetDiskFATname" ||
                                name == "ChkSystemFdisk";
        EXPECT_EQ(shown[name], takesDrive ? 0 : 1) << name;
        withoutArgument += takesDrive ? 0 : 1;
    }
    const std::string count = testing::Shell(cli + " clsSoftWare.GetComputerSoftWare | wc -l");
    std::string grouped = count;
    for (int at = static_cast<int>(grouped.size()) - 3; at > 0; at -= 3) grouped.insert(static_cast<size_t>(at), ",");
    if (std::stoul(count) > 4) {
        EXPECT_NE(report.find(grouped + " installed programs\n"), std::string::npos) << report;
    }
    EXPECT_EQ(testing::Shell(cli + " --lines | wc -l"), std::to_string(withoutArgument));
}

}  // namespace
}  // namespace velmora
