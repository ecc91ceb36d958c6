// The real processor through the real backend of this build (natively, or under
// Wine for the Windows build), held against the processor as the test itself reads it
// and the name the system recorded, and the velmora cpu report run as a user runs it.
#include <cpuid.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <wbemidl.h>

#include "platform/win32/Win32Platform.h"
#else
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/LinuxPlatform.h"
#endif

#include "FakePlatform.h"
#include "Scratch.h"
#include "cpu/clsCpuInfo.h"
#include "public/clsTarsin.h"
#include "text/Text.h"
#include "text/Utf.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

#ifdef _WIN32
using RealPlatform = Win32Platform;
#else
using RealPlatform = LinuxPlatform;
#endif

std::string TrimText(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs velmora with `args`, its output and errors caught in files of `scratch`.
ToolRun RunTool(const testing::ScratchTree& scratch, const std::vector<std::string>& args) {
    const fs::path outPath = scratch.path() / "tool.out", errPath = scratch.path() / "tool.err";
    ToolRun run;
#ifdef _WIN32
    std::string tool = std::string("Z:") + VELMORA_CLI_PATH;
    std::replace(tool.begin(), tool.end(), '/', '\\');
    std::string command = "\"" + tool + "\"";
    for (const auto& arg : args) command += " \"" + arg + "\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = ::CreateFileA(outPath.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                               nullptr);
    HANDLE err = ::CreateFileA(errPath.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                               nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    if (::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, 120000);
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        run.exitCode = static_cast<int>(code);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(out);
    ::CloseHandle(err);
#else
    const pid_t child = ::fork();
    if (child == 0) {
        if (!std::freopen(outPath.c_str(), "wb", stdout) || !std::freopen(errPath.c_str(), "wb", stderr)) ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(VELMORA_CLI_PATH)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(VELMORA_CLI_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
#endif
    run.out = testing::ReadAll(outPath);
    run.err = testing::ReadAll(errPath);
    return run;
}

// Leaf 1's ebx carries the APIC id of the processor the leaf ran on: runs that are
// compared must all run on one processor.
void StayOnFirstProcessor() {
#ifdef _WIN32
    ::SetProcessAffinityMask(::GetCurrentProcess(), 1);
#else
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    ::sched_setaffinity(0, sizeof set, &set);
#endif
}

TEST(CpuReal, ProcessorHasTheIdentificationInstruction) {
    RealPlatform real;
    CpuRegs leaf0;
    ASSERT_TRUE(real.platform().cpu.CpuIdLeaf(0, 0, leaf0));
    EXPECT_GT(leaf0.eax & 0xFF, 0u);
    clsCpuInfo info(real.platform());
    EXPECT_TRUE(info.Supported());
}

// The processor as a program sees it, read with the compiler's own instruction: under
// some hypervisors it differs from what the kernel recorded at boot (the name above all),
// so the component's readings are held against this, the source it reads itself.
CpuRegs ProgramLeaf(uint32_t leaf) {
    CpuRegs regs;
    __cpuid_count(leaf, 0, regs.eax, regs.ebx, regs.ecx, regs.edx);
    return regs;
}

std::string RegsText(std::initializer_list<uint32_t> words) {
    std::string text;
    for (const uint32_t word : words) text.append(reinterpret_cast<const char*>(&word), 4);
    return text;
}

TEST(CpuReal, ManufacturerIsTheProgramsVendor) {
    const CpuRegs leaf0 = ProgramLeaf(0);
    const std::string vendorId = RegsText({leaf0.ebx, leaf0.edx, leaf0.ecx});
    // The vendor text mapped through the vendor table.
    testing::FakePlatform fake;
    fake.cpu.SetVendor(vendorId.c_str(), 1, 0);
    const String expected = clsCpuInfo(fake).ManufacturerStr();

    const testing::ScratchTree scratch;
    RealPlatform real(Utf8ToUtf16(scratch.path().string()));
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(real.platform()).GetCPUManufacturer()), Utf16ToUtf8(expected));
    EXPECT_EQ(Utf16ToUtf8(clsCpuInfo(real.platform()).VendorIdStr(true)), vendorId);
}

TEST(CpuReal, SignatureCombinedAsLinuxCombinesIt) {
    // Linux's rule on leaf 1: the extended family counts only on family 15, the extended
    // model from family 6 on.
    const uint32_t eax = ProgramLeaf(1).eax;
    int kernelFamily = (eax >> 8) & 0xF, kernelModel = (eax >> 4) & 0xF;
    if (kernelFamily == 15) kernelFamily += (eax >> 20) & 0xFF;
    if (kernelFamily >= 6) kernelModel += ((eax >> 16) & 0xF) << 4;

    RealPlatform real;
    clsCpuInfo info(real.platform());
    const int family = info.CpuFamily(true) + (info.CpuFamily(true) == 15 ? info.CpuFamilyEx(true) : 0);
    const int model = info.CpuModel(true) + (family >= 6 ? info.CpuModelEx(true) << 4 : 0);
    EXPECT_EQ(family, kernelFamily);
    EXPECT_EQ(model, kernelModel);
    EXPECT_EQ(info.CpuStepping(true), static_cast<int>(eax & 0xF));
}

TEST(CpuReal, StoredNameIsTheProgramsBrandString) {
    if (ProgramLeaf(0x80000000).eax < 0x80000004) GTEST_SKIP() << "this processor has no brand string";
    std::string brand;
    for (uint32_t leaf = 0x80000002; leaf <= 0x80000004; ++leaf) {
        const CpuRegs regs = ProgramLeaf(leaf);
        brand += RegsText({regs.eax, regs.ebx, regs.ecx, regs.edx});
    }
    brand.erase(brand.find_last_not_of('\0') + 1);
    RealPlatform real;
    String name = clsCpuInfo(real.platform()).NameStr();
    name.erase(name.find_last_not_of(u'\0') + 1);  // the NULs that end the stored name
    EXPECT_EQ(Utf16ToUtf8(name), brand);
}

// The name the system recorded, which GetCPUName reads: Windows (and Wine) keep it in
// the registry; Linux in the kernel's cpuinfo.
std::string RecordedProcessorName() {
#ifdef _WIN32
    char name[256] = {};
    DWORD size = sizeof name;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return std::string();
    const LONG status = ::RegQueryValueExA(key, "ProcessorNameString", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS ? TrimText(std::string(name, ::strnlen(name, sizeof name))) : std::string();
#else
    std::istringstream lines(testing::ReadAll("/proc/cpuinfo"));
    std::string line;
    while (std::getline(lines, line) && !TrimText(line).empty()) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && TrimText(line.substr(0, colon)) == "model name")
            return TrimText(line.substr(colon + 1));
    }
    return std::string();
#endif
}

TEST(CpuReal, CpuNameIsTheRecordedModelName) {
    const std::string recorded = RecordedProcessorName();
    ASSERT_FALSE(recorded.empty());
    const testing::ScratchTree scratch;
    RealPlatform real(Utf8ToUtf16(scratch.path().string()));
    EXPECT_EQ(TrimText(Utf16ToUtf8(clsTarsin(real.platform()).GetCPUName())), recorded);
}

TEST(CpuReal, TimeStampCounterAndClock) {
    RealPlatform real;
    clsCpuId id(real.platform().cpu);
    int64_t first = 0, second = 0;
    id.CpuClk(first);
    id.CpuClk(second);
    EXPECT_LE(static_cast<uint64_t>(first), static_cast<uint64_t>(second));

    clsCpuInfo info(real.platform());
    double seconds = 0;
    Currency cycles = 0;
    info.BenchStart();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    info.BenchStop(seconds, cycles);
    EXPECT_GE(seconds, 0.045);
    EXPECT_LT(seconds, 5.0);
    const double megahertz = static_cast<double>(cycles) / 10000.0 / seconds / 1e6;
    EXPECT_GT(megahertz, 100.0);
    EXPECT_LT(megahertz, 10000.0);
}

#ifdef _WIN32
// Wine's own WMI provider reads the processor itself: its Win32_Processor.Manufacturer
// is the vendor text.
std::string WmiProcessorManufacturer() {
    std::string answer;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return answer;
    IWbemLocator* locator = nullptr;
    IWbemServices* services = nullptr;
    IEnumWbemClassObject* rows = nullptr;
    IWbemClassObject* row = nullptr;
    BSTR space = ::SysAllocString(L"ROOT\\CIMV2"), language = ::SysAllocString(L"WQL"),
         query = ::SysAllocString(L"SELECT Manufacturer FROM Win32_Processor");
    ULONG count = 0;
    VARIANT value;
    ::VariantInit(&value);
    if (SUCCEEDED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                     reinterpret_cast<void**>(&locator))) &&
        SUCCEEDED(locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services)) &&
        SUCCEEDED(services->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY, nullptr, &rows)) &&
        SUCCEEDED(rows->Next(WBEM_INFINITE, 1, &row, &count)) && count == 1 &&
        SUCCEEDED(row->Get(L"Manufacturer", 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR)
        answer = Utf16ToUtf8(reinterpret_cast<const char16_t*>(value.bstrVal));
    ::VariantClear(&value);
    for (IUnknown* object : {static_cast<IUnknown*>(row), static_cast<IUnknown*>(rows),
                             static_cast<IUnknown*>(services), static_cast<IUnknown*>(locator)})
        if (object) object->Release();
    ::SysFreeString(space);
    ::SysFreeString(language);
    ::SysFreeString(query);
    ::CoUninitialize();
    return answer;
}

TEST(CpuReal, ManufacturerAgreesWithWineWmi) {
    const std::string wmi = WmiProcessorManufacturer();
    ASSERT_EQ(wmi.size(), 12u) << "Win32_Processor.Manufacturer: " << wmi;
    testing::FakePlatform fake;
    fake.cpu.SetVendor(wmi.c_str(), 1, 0);
    const testing::ScratchTree scratch;
    RealPlatform real(Utf8ToUtf16(scratch.path().string()));
    EXPECT_EQ(clsTarsin(real.platform()).GetCPUManufacturer(), clsCpuInfo(fake).ManufacturerStr());
}
#endif

TEST(CpuTool, DumpedLeavesReportAsTheLiveProcessor) {
    StayOnFirstProcessor();
    const testing::ScratchTree scratch;
    const ToolRun dump = RunTool(scratch, {"cpu", "--dump"});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    const fs::path leaves = scratch.Write("leaves.txt", dump.out);
    const ToolRun loaded = RunTool(scratch, {"cpu", "--leaves", leaves.string(), "--json"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    const ToolRun live = RunTool(scratch, {"cpu", "--json"});
    ASSERT_EQ(live.exitCode, 0) << live.err;
    EXPECT_EQ(loaded.out, live.out);
    EXPECT_NE(live.out.find("\"ManufacturerStr\": \""), std::string::npos) << live.out;
}

TEST(CpuTool, MalformedLeavesFileNamesTheLine) {
    struct Case {
        std::string_view text;
        const char* where;
    };
    const Case cases[] = {
        {"# comment\n00000000 0000000D 756E6547 6C65746E\n"sv, "line 2:"},
        {"00000000 0000000D 756E6547 6C65746E 49656E69\n\n00000001 00000F29 0 0 0 extra\n"sv, "line 3:"},
        {"00000001 00000F29 00000000 00000000 0000000G\n"sv, "line 1:"},
        {"00000001 00000F29 00000000 00000000 100000000\n"sv, "line 1:"},
        {"00000004 00000000 00000000 00000000 00000000\n"sv, "line 1:"},
        {"80000001 0 0 0 0\r\n# again\r\n80000001 0 0 0 0\r\n"sv, "line 3:"},
        {"00000000 0000000D\0 756E6547 6C65746E 49656E69\n"sv, "line 1:"},
    };
#ifdef _WIN32
    const size_t count = 1;  // each run is a Wine process; the parsing is the same code
#else
    const size_t count = std::size(cases);
#endif
    const testing::ScratchTree scratch;
    for (size_t i = 0; i < count; ++i) {
        const fs::path file = scratch.Write("bad.txt", std::string(cases[i].text));
        const ToolRun run = RunTool(scratch, {"cpu", "--leaves", file.string(), "--json"});
        EXPECT_EQ(run.exitCode, 2) << i;
        EXPECT_NE(run.err.find(cases[i].where), std::string::npos) << i << ": " << run.err;
        EXPECT_EQ(run.out, "") << i;  // never a partial record
    }
}

}  // namespace
}  // namespace velmora
