// The Linux registry, memory and computer name, against the system's own tools
// and against small real-looking trees in a temporary folder.
#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "Scratch.h"
#include "Threads.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/packages/DpkgPackages.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "public/clsTarsin.h"
#include "registry/GetRegValue.h"
#include "registry/clsSoftWare.h"
#include "system/clsOperatingSystem.h"
#include "text/Utf.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

using testing::Shell;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

// The backend reads its sources under a root folder ending in "/".
class RootDir : public testing::ScratchTree {
public:
    std::string root() const { return ScratchTree::root() + "/"; }
    std::string Write(const std::string& relative, const std::string& bytes) const {
        return ScratchTree::Write(relative, bytes).string();
    }
};

std::string Stanza(const std::string& package, const std::string& status, const std::string& arch = "amd64",
                   const std::string& version = "1.0-1") {
    return "Package: " + package + "\nStatus: " + status + "\nPriority: optional\nArchitecture: " + arch +
           "\nVersion: " + version + "\nMaintainer: Someone <someone@example.org>\nDescription: a package\n"
           " with a continued description\n .\n";
}

TEST(LinuxRegistryReaders, DpkgStatusTraps) {
    const std::string huge(1 << 20, 'd');
    // A field line that begins four bytes before the reader's 64 KiB reads end.
    std::string straddle = Stanza("pad", "install ok installed");
    while (straddle.size() + 1000 < 65500) straddle += " " + std::string(998, 'x') + "\n";
    straddle += " " + std::string(65536 - 4 - straddle.size() - 3, 'x') + "\n\n";
    straddle += "Package: across\nStatus: install ok installed\nVersion: 7\n";
    const struct {
        const char* label;
        std::string status;
        std::vector<std::string> packages;  // "package version"
    } cases[] = {
        {"installed and not",
         Stanza("dpkg", "install ok installed") + "\n" + Stanza("gone", "deinstall ok config-files") + "\n" +
             Stanza("held", "hold ok installed") + "\n" + Stanza("half", "install ok half-configured"),
         {"dpkg 1.0-1", "held 1.0-1"}},
        {"last stanza without its blank line or LF",
         Stanza("a", "install ok installed") + "\n" + "Package: b\nStatus: install ok installed\nVersion: 2",
         {"a 1.0-1", "b 2"}},
        {"stanza cut inside its status", Stanza("a", "install ok installed") + "\nPackage: b\nStatus: install ok inst",
         {"a 1.0-1"}},
        {"huge description line and huge version",
         "Package: big\nStatus: install ok installed\nDescription: " + huge + "\n" + " " + huge +
             "\nVersion: " + huge + "\n\n" + Stanza("small", "install ok installed"),
         {"big ", "small 1.0-1"}},
        {"field line across two reads", straddle, {"pad 1.0-1", "across 7"}},
        {"damaged names skipped",
         Stanza("bad\\name", "install ok installed") + "\n" + Stanza("ok", "install ok installed", "am\\d64") + "\n" +
             Stanza("fine", "install ok installed"),
         {"fine 1.0-1"}},
        {"CR LF and field names in any case",
         "package: crlf\r\nSTATUS: install ok installed\r\nversion: 3\r\n\r\n", {"crlf 3"}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) {
        RootDir dir;
        const std::string path = dir.Write("status", c.status);
        std::vector<InstalledPackage> packages;
        EXPECT_TRUE(ReadInstalledPackages(path, packages)) << c.label;
        std::vector<std::string> got;
        for (const auto& p : packages) got.push_back(p.package + " " + p.version);
        EXPECT_EQ(got, c.packages) << c.label;
    }
    std::vector<InstalledPackage> packages{{"left", "over", "", ""}};
    EXPECT_FALSE(ReadInstalledPackages("/nonexistent/velmora/status", packages));
    EXPECT_TRUE(packages.empty());
}

TEST(LinuxRegistryReaders, TreeFromSourcesUnderARoot) {
    RootDir dir;
    dir.Write("proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i5 CPU\n\n"
                              "processor\t: 1\nmodel name\t: Second\n");
    dir.Write("var/lib/dpkg/status", Stanza("dpkg", "install ok installed") + "\n" +
                                         Stanza("libfoo", "install ok installed") + "\n" +
                                         Stanza("libfoo", "install ok installed", "i386") + "\n" +
                                         Stanza("libbar", "install ok installed") + "Multi-Arch: same\n\n" +
                                         Stanza("docs", "install ok installed", "all", std::string(300, '9')));
    auto tree = BuildLinuxRegistry(dir.root());
    const RegistryValue* cpu = tree->LocalMachine().Add("HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0").FindValue(
        "ProcessorNameString");
    ASSERT_TRUE(cpu);
    EXPECT_EQ(std::string_view(cpu->data), std::string_view("Intel(R) Core(TM) i5 CPU\0", 25));
    const RegistryKey& uninstall = tree->LocalMachine().Add("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    std::vector<std::string> entries;
    for (const auto& key : uninstall.Subkeys()) {
        const RegistryValue* name = key->FindValue("DisplayName");
        ASSERT_TRUE(name && name->type == kRegSz);
        entries.push_back(std::string(key->Name()) + " = " + std::string(name->data, 0, name->data.size() - 1));
    }
    // Names as dpkg-query gives them (a foreign architecture or Multi-Arch: same is
    // qualified); a name too long to list drops its version.
    EXPECT_EQ(entries, (std::vector<std::string>{"dpkg = dpkg 1.0-1", "libfoo = libfoo 1.0-1",
                                                 "libfoo:i386 = libfoo:i386 1.0-1",
                                                 "libbar:amd64 = libbar:amd64 1.0-1", "docs = docs"}));

    RootDir empty;
    auto bare = BuildLinuxRegistry(empty.root());
    EXPECT_TRUE(bare->LocalMachine().Subkeys().empty());  // no sources: neither key exists
}

TEST(LinuxRegistryReaders, PackageDatabaseChangesAreSeen) {
    RootDir dir;
    dir.Write("var/lib/dpkg/status", Stanza("one", "install ok installed"));
    LinuxRegistry registry(dir.root());
    auto count = [&] {
        RegKey key = 0;
        if (registry.RegOpenKeyA(RootKey(kHKeyLocalMachine), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                 key) != kErrorSuccess)
            return -1;
        int n = 0;
        char name[256];
        for (uint32_t size = sizeof name; registry.RegEnumKeyExA(key, static_cast<uint32_t>(n), name, size) == 0;
             size = sizeof name)
            ++n;
        registry.RegCloseKey(key);
        return n;
    };
    EXPECT_EQ(count(), 1);
    dir.Write("var/lib/dpkg/status", Stanza("one", "install ok installed") + "\n" + Stanza("two", "install ok installed"));
    EXPECT_EQ(count(), 2);
    fs::remove(dir.root() + "var/lib/dpkg/status");
    EXPECT_EQ(count(), -1);
    // dpkg's own way: a new file renamed over the old one.
    dir.Write("var/lib/dpkg/status-new", Stanza("one", "install ok installed"));
    fs::rename(dir.root() + "var/lib/dpkg/status-new", dir.root() + "var/lib/dpkg/status");
    EXPECT_EQ(count(), 1);
    // Rewritten in place at the same size, within one tick of the file clock.
    dir.Write("var/lib/dpkg/status", Stanza("one", "install ok  unpacked"));
    EXPECT_EQ(count(), 0);
    // The whole folder replaced: whatever watched the old one, the new one is read.
    fs::rename(dir.root() + "var/lib/dpkg", dir.root() + "var/lib/dpkg-old");
    dir.Write("var/lib/dpkg/status", Stanza("one", "install ok installed") + "\n" + Stanza("two", "install ok installed"));
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// The uninstall key as a registry lists it: "subkey = DisplayName", in order.
std::vector<std::string> UninstallEntries(IRegistry& registry) {
    std::vector<std::string> entries;
    RegKey root = 0;
    if (registry.RegOpenKeyA(RootKey(kHKeyLocalMachine), kRegUninstallKey, root) != kErrorSuccess) return entries;
    char name[256], display[256];
    for (uint32_t i = 0, size = sizeof name; registry.RegEnumKeyExA(root, i, name, size) == 0; ++i, size = sizeof name) {
        RegKey key = 0;
        uint32_t bytes = sizeof display;
        registry.RegOpenKeyA(root, name, key);
        registry.RegQueryValueExA(key, kRegDisplayName, nullptr, reinterpret_cast<uint8_t*>(display), &bytes);
        registry.RegCloseKey(key);
        entries.push_back(std::string(name) + " = " + display);
    }
    registry.RegCloseKey(root);
    return entries;
}

// Every database present lists its packages after those of the databases before it;
// one that appears or goes away is seen at the next call, and a key two databases
// share stays for both.
TEST(LinuxRegistryReaders, PackageDatabasesInTheirOrder) {
    RootDir dir;
    dir.Write("var/lib/dpkg/status", Stanza("zlib", "install ok installed"));
    dir.Write("lib/apk/db/installed", "P:zlib\nV:1.3-r0\nm:Alpine <a@example.org>\n");
    LinuxRegistry registry(dir.root());
    EXPECT_EQ(UninstallEntries(registry), (std::vector<std::string>{"zlib = zlib 1.0-1", "zlib (apk) = zlib 1.3-r0"}));
    dir.Write("var/lib/pacman/local/hello-2.12-1/desc", "%NAME%\nhello\n\n%VERSION%\n2.12-1\n");
    EXPECT_EQ(UninstallEntries(registry), (std::vector<std::string>{"zlib = zlib 1.0-1", "hello-2.12-1 = hello 2.12-1",
                                                                    "zlib (apk) = zlib 1.3-r0"}));
    fs::remove_all(dir.root() + "var/lib/dpkg");
    EXPECT_EQ(UninstallEntries(registry), (std::vector<std::string>{"hello-2.12-1 = hello 2.12-1", "zlib = zlib 1.3-r0"}));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// A public call begun after a change sees it, nested in another or beside one on
// another thread; once the calls end, every open looks again.
TEST(LinuxRegistryReaders, CallsBegunAfterAChangeSeeIt) {
    RootDir dir;
    const std::string one = Stanza("one", "install ok installed");
    dir.Write("var/lib/dpkg/status", one);
    LinuxRegistry registry(dir.root());
    auto inCall = [&] {
        const RegistryCall call(registry);
        return UninstallEntries(registry).size();
    };
    std::optional<RegistryCall> outer(std::in_place, registry);
    EXPECT_EQ(UninstallEntries(registry).size(), 1u);
    dir.Write("var/lib/dpkg/status", one + "\n" + Stanza("two", "install ok installed"));
    EXPECT_EQ(inCall(), 2u);
    dir.Write("var/lib/dpkg/status", one);
    ::testing::RunThreads(1, [&](int) { EXPECT_EQ(inCall(), 1u); });
    outer.reset();
    fs::remove(dir.root() + "var/lib/dpkg/status");
    EXPECT_TRUE(UninstallEntries(registry).empty());
}

TEST(LinuxRegistryReaders, MemInfoTraps) {
    RootDir dir;
    MemInfo info;
    EXPECT_TRUE(ReadMemInfo(dir.Write("a", "MemTotal:       24683772 kB\nMemFree: 1 kB\nMemAvailable:   100 kB\n"
                                           "SwapTotal: 8 kB\nSwapFree: 4 kB\n"),
                            info));
    EXPECT_EQ(info.total, 24683772ull * 1024);
    EXPECT_EQ(info.available, 100u * 1024);
    EXPECT_EQ(info.swapTotal, 8u * 1024);
    EXPECT_TRUE(ReadMemInfo(dir.Write("b", "MemTotal: 1000 kB\nMemFree: 10 kB\nBuffers: 20 kB\nCached: 30 kB\n"), info));
    EXPECT_EQ(info.available, 60u * 1024);  // older kernels: free, buffers and cache
    EXPECT_TRUE(ReadMemInfo(dir.Write("c", "MemTotal: 99999999999999999999999999 kB\n"), info));
    EXPECT_EQ(info.total, UINT64_MAX / 1024 * 1024);
    EXPECT_FALSE(ReadMemInfo(dir.Write("d", "MemFree: 10 kB\n"), info));
    EXPECT_FALSE(ReadMemInfo(dir.Write("e", "MemTotal: kB\n" + std::string(1 << 16, 'x')), info));
    EXPECT_FALSE(ReadMemInfo(dir.root() + "missing", info));
}

TEST(LinuxRealSystem, SoftwareListMatchesDpkgQuery) {
    if (!fs::exists("/var/lib/dpkg/status")) GTEST_SKIP() << "no dpkg database on this system";
    std::vector<std::string> expected;
    for (const auto& line : Lines(Shell("dpkg-query -W -f='${db:Status-Status} ${binary:Package} ${Version}\\n'")))
        if (line.rfind("installed ", 0) == 0) expected.push_back(line.substr(10));
    const auto installedCount = std::stoul(Shell("dpkg-query -W -f='${db:Status-Status}\\n' | grep -cx installed"));
    ASSERT_EQ(expected.size(), installedCount);

    LinuxPlatform backend;
    std::vector<String> list;
    ASSERT_TRUE(clsSoftWare(backend.platform()).GetComputerSoftWare(list));
    EXPECT_EQ(list[0], u"");
    std::vector<std::string> names;
    for (size_t i = 1; i < list.size(); ++i) names.push_back(Utf16ToUtf8(list[i]));
    EXPECT_EQ(names.size(), installedCount);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    const String joined = clsTarsin(backend.platform()).GetComputerSoftWare();
    EXPECT_EQ(static_cast<size_t>(std::count(joined.begin(), joined.end(), u'|')), installedCount);
}

TEST(LinuxRealSystem, ProcessorNameFromCpuinfo) {
    const std::string model = Shell("grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^[ \\t]*//'");
    if (model.empty()) GTEST_SKIP() << "this kernel's cpuinfo has no model name";
    LinuxPlatform backend;
    EXPECT_EQ(Utf16ToUtf8(GetRegValue(backend.platform(), kHKeyLocalMachine,
                                      u"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", u"ProcessorNameString")),
              model);
    EXPECT_EQ(clsTarsin(backend.platform()).GetIEVersion(), u"4.0");  // no browser key on Linux
}

TEST(LinuxRealSystem, MemoryAgreesWithFree) {
    const std::string total = Shell("free -k | awk '/^Mem:/{print $2}'");
    ASSERT_FALSE(total.empty());
    LinuxPlatform backend;
    EXPECT_EQ(clsTarsin(backend.platform()).GetPhysicsMemory(),
              FormatKilobytes(std::stoull(total) * 1024, backend.ThousandsSeparator()));
    // The record can only cap what does not fit its fields (4 GB in a 32-bit process).
    MemoryStatus small{};
    backend.platform().systemInfo.GlobalMemoryStatus(small);
    EXPECT_EQ(small.dwTotalPhys, std::min<uint64_t>(std::stoull(total) * 1024, UINTPTR_MAX));
}

TEST(LinuxRealSystem, VirtualMemoryFollowsTheAddressSpaceLimit) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer's shadow memory needs more address space than the limit allows";
#endif
    LinuxPlatform backend;
    MemoryStatusEx unlimited{};
    unlimited.dwLength = sizeof unlimited;
    ASSERT_NE(backend.platform().systemInfo.GlobalMemoryStatusEx(unlimited), 0);
    EXPECT_GT(unlimited.ullTotalVirtual, uint64_t{4} << 30);
    EXPECT_LT(unlimited.ullAvailVirtual, unlimited.ullTotalVirtual);

    rlimit saved{};
    ::getrlimit(RLIMIT_AS, &saved);
    rlimit limited = saved;
    limited.rlim_cur = std::min<rlim_t>(saved.rlim_max, rlim_t{64} << 30);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &limited), 0);
    const String answer = clsTarsin(backend.platform()).GetVirtualMemory();
    ::setrlimit(RLIMIT_AS, &saved);
    EXPECT_EQ(answer, FormatKilobytes(std::min<uint64_t>(limited.rlim_cur, unlimited.ullTotalVirtual),
                                      backend.ThousandsSeparator()));
}

TEST(LinuxRealSystem, ComputerNameIsTheShortHostName) {
    const std::string host = Shell("hostname");
    ASSERT_FALSE(host.empty());
    LinuxPlatform backend;
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(backend.platform()).GetComputerName()), host.substr(0, host.find('.')));
    char small[2];
    uint32_t size = sizeof small;
    if (host.find('.') > 1) {
        EXPECT_EQ(backend.platform().systemInfo.GetComputerNameA(small, size), 0);
        EXPECT_EQ(size, std::min(host.size(), host.find('.')) + 1);
    }
}

// Each setting of the environment answers its own separators, also when an earlier
// setting's locale is kept; the C locale has no thousands separator, and the comma stands in.
TEST(LinuxRealSystem, NumberSeparatorsFollowTheEnvironment) {
    const char* saved = std::getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    const bool german = [] {
        const locale_t probe = ::newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", locale_t{});
        if (probe) ::freelocale(probe);
        return probe != locale_t{};
    }();
    const struct {
        const char* setting;
        const char16_t* decimal;
        const char16_t* thousands;
    } cases[] = {{"C", u".", u","}, {"de_DE.UTF-8", u",", u"."}, {"C", u".", u","}, {"de_DE.UTF-8", u",", u"."}};
    LinuxPlatform backend;
    for (const auto& c : cases) {
        if (!german && c.setting[0] == 'd') continue;
        ::setenv("LC_ALL", c.setting, 1);
        EXPECT_EQ(backend.DecimalSeparator(), c.decimal) << c.setting;
        EXPECT_EQ(backend.ThousandsSeparator(), c.thousands) << c.setting;
    }
    if (saved) ::setenv("LC_ALL", keep.c_str(), 1);
    else ::unsetenv("LC_ALL");
    if (!german) GTEST_SKIP() << "only the C locale checked: this machine has no de_DE.UTF-8 locale";
}

}  // namespace
}  // namespace velmora
