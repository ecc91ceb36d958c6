// The Win32 registry, memory and computer name under Wine, in the test run's
// scratch prefix. Fixtures are written with the registry API and removed again.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "public/clsTarsin.h"
#include "registry/GetRegValue.h"
#include "registry/RegeditCls.h"
#include "registry/clsSoftWare.h"
#include "system/clsOperatingSystem.h"
#include "text/Utf.h"

namespace velmora {
namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

String FromWide(const std::wstring& text) { return String(text.begin(), text.end()); }

void DeleteTree(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (;;) {
        wchar_t name[512];
        DWORD size = 512;
        if (::RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree(key, name);
    }
    ::RegCloseKey(key);
    ::RegDeleteKeyW(parent, path.c_str());
}

// Keys made under HKLM for one test, removed when it ends.
class Fixture {
public:
    ~Fixture() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) DeleteTree(HKEY_LOCAL_MACHINE, *it);
    }
    HKEY Make(const std::wstring& path) {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return nullptr;
        made_.push_back(path);
        keys_.push_back(key);
        return key;
    }
    void Set(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    void SetText(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
        Set(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    void CloseAll() {
        for (HKEY key : keys_) ::RegCloseKey(key);
        keys_.clear();
    }

private:
    std::vector<std::wstring> made_;
    std::vector<HKEY> keys_;
};

// What the uninstall key lists, read independently through the wide API: each
// subkey in enumeration order whose DisplayName is text that fits 199 ANSI bytes;
// on 64-bit Windows the 64-bit view's, then the 32-bit view's.
std::vector<String> DisplayNamesByWideApi() {
    std::vector<String> names;
    BOOL wow64 = FALSE;
    std::vector<REGSAM> views{0};
    if (sizeof(void*) == 8 || (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64))
        views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    for (const REGSAM view : views) {
        HKEY root = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall.c_str(), 0, KEY_READ | view, &root) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0;; ++i) {
            wchar_t subkey[512];
            DWORD size = 512;
            if (::RegEnumKeyExW(root, i, subkey, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            wchar_t value[2048] = {};
            DWORD type = 0, bytes = sizeof value - sizeof(wchar_t);
            if (::RegGetValueW(root, subkey, L"DisplayName", RRF_RT_ANY | RRF_NOEXPAND, &type, value, &bytes) !=
                    ERROR_SUCCESS ||
                type != REG_SZ || value[0] == 0)
                continue;
            const int ansi = ::WideCharToMultiByte(CP_ACP, 0, value, -1, nullptr, 0, nullptr, nullptr);
            if (ansi <= 200) names.push_back(FromWide(value));
        }
        ::RegCloseKey(root);
    }
    return names;
}

TEST(Win32Registry, SoftwareListEqualsTheRegistrysOwnListing) {
    Fixture fixture;
    const std::wstring base = kUninstall + L"\\VelmoraTest-";
    struct Program {
        const wchar_t* subkey;
        DWORD type;  // 0: no DisplayName
        std::wstring name;
    };
    // Made out of order: the listing follows the registry's enumeration, not creation.
    const Program programs[] = {
        {L"H", REG_SZ, L"软件甲"},          {L"C", REG_SZ, L"Gamma"},
        {L"A", REG_SZ, L"Alpha"},           {L"B", 0, L""},
        {L"D", REG_EXPAND_SZ, L"Delta"},    {L"E", REG_SZ, std::wstring(200, L'E')},
        {L"F", REG_SZ, L"Alpha"},           {L"G", REG_SZ, std::wstring(199, L'G')},
    };
    for (const auto& p : programs) {
        HKEY key = fixture.Make(base + p.subkey);
        ASSERT_TRUE(key);
        if (p.type) fixture.SetText(key, L"DisplayName", p.name, p.type);
        else fixture.SetText(key, L"DisplayVersion", L"1.0");
    }
    fixture.CloseAll();

    const std::vector<String> expected = DisplayNamesByWideApi();
    Win32Platform win32;
    std::vector<String> list{u"index 0", u"dropped"};
    ASSERT_TRUE(clsSoftWare(win32.platform()).GetComputerSoftWare(list));
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0], u"index 0");
    EXPECT_EQ(std::vector<String>(list.begin() + 1, list.end()), expected);

    // The fixture's own entries, in the registry's (sorted) order, are among them.
    std::vector<String> ours;
    for (const String& name : expected)
        if (name == u"Alpha" || name == u"Gamma" || name == u"软件甲" || name == String(199, u'G') ||
            name == u"Delta" || name == String(200, u'E'))
            ours.push_back(name);
    EXPECT_EQ(ours, (std::vector<String>{u"Alpha", u"Gamma", u"Alpha", String(199, u'G'), u"软件甲"}));

    String joined;
    for (const String& name : expected) joined += name + u"|";
    EXPECT_EQ(clsTarsin(win32.platform()).GetComputerSoftWare(), joined);
}

TEST(Win32Registry, ValueTextsAndReaderLimits) {
    Fixture fixture;
    const std::wstring path = L"SOFTWARE\\VelmoraTest";
    HKEY key = fixture.Make(path);
    ASSERT_TRUE(key);
    const DWORD seven = 7, all = 0xFFFFFFFF;
    const BYTE bytes[] = {0x0A, 0xFF, 0x00};
    fixture.SetText(key, L"Text", L"Intel(R) Pentium(R) 4 CPU 2.40GHz");
    fixture.Set(key, L"Seven", REG_DWORD, &seven, 4);
    fixture.Set(key, L"All", REG_DWORD, &all, 4);
    fixture.Set(key, L"Bytes", REG_BINARY, bytes, 3);
    fixture.SetText(key, L"Expand", L"%SystemRoot%", REG_EXPAND_SZ);
    fixture.SetText(key, L"Long199", std::wstring(199, L'x'));
    fixture.SetText(key, L"Long200", std::wstring(200, L'x'));
    fixture.SetText(key, L"", L"C:\\vb\\tool");
    for (const wchar_t* sub : {L"\\A", L"\\B"}) ASSERT_TRUE(fixture.Make(path + sub));
    const bool longNameMade = fixture.Make(path + L"\\" + std::wstring(255, L'L')) != nullptr;
    ASSERT_TRUE(fixture.Make(path + L"\\Z"));
    fixture.CloseAll();

    Win32Platform win32;
    Platform& p = win32.platform();
    const String keyPath = u"SOFTWARE\\VelmoraTest";
    const struct {
        const char16_t* value;
        String text;
    } cases[] = {
        {u"Text", u"Intel(R) Pentium(R) 4 CPU 2.40GHz"}, {u"Seven", u"7"}, {u"All", u"-1"},
        {u"Bytes", u"A FF 0 "}, {u"Expand", u""}, {u"Missing", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetRegValue(p, kHKeyLocalMachine, keyPath, c.value), c.text) << Utf16ToUtf8(c.value);

    RegeditCls reader(p);
    EXPECT_EQ(reader.GetRegStrValue(kHKeyLocalMachine, keyPath, u"Long199"), String(199, u'x'));
    EXPECT_EQ(reader.GetRegStrValue(kHKeyLocalMachine, keyPath, u"Long200"), u"");
    EXPECT_EQ(reader.GetRegStrValue(kHKeyLocalMachine, keyPath, u"Expand"), u"");
    EXPECT_EQ(reader.GetRegStrValue(kHKeyLocalMachine, keyPath, u"默认"), String(u"C:\\vb\\tool\0", 11));
    EXPECT_EQ(reader.GetRegNumValue(kHKeyLocalMachine, keyPath, u"All"), -1);
    std::vector<String> names;
    EXPECT_TRUE(reader.EnumKeyEx(kHKeyLocalMachine, keyPath, names));
    // The 255-character name does not fit the buffer and ends the listing.
    const std::vector<String> listed = longNameMade ? std::vector<String>{u"", u"A", u"B"}
                                                    : std::vector<String>{u"", u"A", u"B", u"Z"};
    EXPECT_EQ(names, listed);
    EXPECT_FALSE(reader.EnumKeyEx(kHKeyLocalMachine, u"SOFTWARE\\VelmoraMissing", names));
    EXPECT_EQ(names, std::vector<String>{u""});

    // The processor name as GetCPUName reads it, against the wide API.
    wchar_t cpu[256] = {};
    DWORD size = sizeof cpu;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                       L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, cpu, &size) == ERROR_SUCCESS) {
        EXPECT_EQ(GetRegValue(p, kHKeyLocalMachine, u"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                              u"ProcessorNameString"),
                  FromWide(cpu));
    }
}

uint64_t LinuxMemTotalBytes() {
    std::ifstream meminfo("Z:\\proc\\meminfo");
    std::string label, unit;
    uint64_t kilobytes = 0;
    while (meminfo >> label >> kilobytes >> unit)
        if (label == "MemTotal:") return kilobytes * 1024;
    return 0;
}

TEST(Win32Memory, PhysicalMemoryIsTheKernelsAndNotCapped) {
    const uint64_t total = LinuxMemTotalBytes();
    if (total == 0) GTEST_SKIP() << "the Linux root is not reachable as Z:";
    Win32Platform win32;
    const String answer = clsTarsin(win32.platform()).GetPhysicsMemory();
    // Wine counts whole pages of the kernel's total, so allow for less than one page.
    const String exact = FormatKilobytes(total, win32.ThousandsSeparator());
    const String page = FormatKilobytes(total - 4096, win32.ThousandsSeparator());
    EXPECT_TRUE(answer == exact || answer == page) << Utf16ToUtf8(answer) << " vs " << Utf16ToUtf8(exact);
    MEMORYSTATUS small{};
    ::GlobalMemoryStatus(&small);
    // A 32-bit process's record cannot hold it; the answer must not follow it.
    if (sizeof small.dwTotalPhys == 4 && total > 0xFFFFFFFFull) {
        EXPECT_NE(answer, FormatKilobytes(small.dwTotalPhys, win32.ThousandsSeparator()));
    }
    const String virtualMemory = clsTarsin(win32.platform()).GetVirtualMemory();
    MEMORYSTATUSEX wide{};
    wide.dwLength = sizeof wide;
    ASSERT_TRUE(::GlobalMemoryStatusEx(&wide));
    EXPECT_EQ(virtualMemory, FormatKilobytes(wide.ullTotalVirtual, win32.ThousandsSeparator()));
}

TEST(Win32ComputerName, MatchesTheEnvironment) {
    const char* expected = std::getenv("COMPUTERNAME");
    if (!expected) GTEST_SKIP() << "no COMPUTERNAME in this environment";
    Win32Platform win32;
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(win32.platform()).GetComputerName()), expected);
}

// Run with LANG=de_DE.UTF-8 by the test run: the user's thousands separator is a dot.
TEST(Win32Locale, MemoryUsesTheUsersThousandsSeparator) {
    const char* expected = std::getenv("VELMORA_EXPECT_THOUSANDS");
    Win32Platform win32;
    EXPECT_EQ(Utf16ToUtf8(win32.ThousandsSeparator()), expected ? expected : ",");
    const String memory = clsOperatingSystem(win32.platform()).GetPhysicsMemory();
    if (memory.size() > 5) {  // at least a thousand kilobytes, so one separator shows
        EXPECT_NE(Utf16ToUtf8(memory).find(expected ? expected : ","), std::string::npos) << Utf16ToUtf8(memory);
    }
}

}  // namespace
}  // namespace velmora
