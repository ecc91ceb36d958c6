// A host that calls, loads and unloads the registered Tarsin.dll and its Corvel.dll
// for as long as a licensing host or a server that lets COM unload idle DLLs would,
// and checks that nothing it does keeps memory: every loop warms up for 100 rounds,
// then the process's private bytes may grow by at most 64 bytes a round on average.
// TARSIN_DLL names the registered copy (a Windows path).
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <psapi.h>
#undef GetComputerName
#undef GetDiskFreeSpace
#include "Velmora.h"
#include "HostSupport.h"

#include <cstdio>
#include <string>

namespace {

using host::Bstr;
using host::DllFolder;
using host::DllPath;
using host::Ref;

constexpr double kLimit = 64;  // bytes kept per round, averaged
constexpr int kWarmUp = 100;

// Private bytes (Wine fills PagefileUsage, the commit charge, and leaves PrivateUsage 0).
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

struct Host {
    Ref<_clsTarsin> tarsin;
    Ref<_clsSoftWare> software;
    Bstr drive;
};

void Answer(_clsTarsin* tarsin, HRESULT (STDMETHODCALLTYPE _clsTarsin::*method)(BSTR*)) {
    Bstr answer;
    (tarsin->*method)(&answer.p);
}

// A call that fills a fresh one-element array of String.
template <class Call>
void WithArray(Call call) {
    SAFEARRAY* items = ::SafeArrayCreateVector(VT_BSTR, 0, 1);
    VARIANT_BOOL answer;
    call(&items, &answer);
    ::SafeArrayDestroy(items);
}

// One round of a loop: a method call on the host's objects, or a whole load and unload.
using Round = void (*)(Host&);
#define TARSIN_TEXT(method) [](Host& h) { Answer(h.tarsin.p, &_clsTarsin::method); }

void CorvelCycle(Host&) {
    const HMODULE corvel = ::LoadLibraryW((DllFolder() + L"\\Corvel.dll").c_str());
    using Export = int32_t(__stdcall*)(char*);
    if (const auto code = reinterpret_cast<Export>(reinterpret_cast<void*>(::GetProcAddress(corvel, "GetComputerIdCodeInNT")))) {
        char buffer[18] = "                 ";
        code(buffer);
    }
    ::FreeLibrary(corvel);
}

void TarsinCycle(Host&) { ::FreeLibrary(::LoadLibraryW(DllPath().c_str())); }

// Create, one call, release, and let COM unload the idle server at once. The call
// fails inside the component (the host's array is locked and cannot be resized), so
// each load also throws and catches, as a host's misuse or a missing Corvel.dll would.
void ComCycle(Host&) {
    {
        Ref<_clsTarsin> tarsin;
        ::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin, tarsin.raw());
        SAFEARRAY* drives = ::SafeArrayCreateVector(VT_BSTR, 0, 1);
        ::SafeArrayLock(drives);
        VARIANT_BOOL answer;
        if (tarsin.p) tarsin->GetFixdDisk(&drives, &answer);
        ::SafeArrayUnlock(drives);
        ::SafeArrayDestroy(drives);
    }
    ::CoFreeUnusedLibrariesEx(0, 0);
}

struct Loop {
    const char* name;
    // Measured, after the warm-up; at least 250, so that 64 bytes a round are four pages or
    // more. The slow loops (loads, sockets, every drive) run fewer rounds than the cheap ones.
    int rounds;
    Round round;
    bool unloads = false;  // needs the server idle: the host's own objects released first
};
const Loop kLoops[] = {
    {"GetDiskSerialNumber", 1000, TARSIN_TEXT(GetDiskSerialNumber)},
    {"GetInternetCardAddress", 2000, TARSIN_TEXT(GetInternetCardAddress)},
    {"GetSoundCardId", 2000, TARSIN_TEXT(GetSoundCardId)},
    {"GetSoundCardName", 2000, TARSIN_TEXT(GetSoundCardName)},
    {"GetSoundCardChannel", 2000, TARSIN_TEXT(GetSoundCardChannel)},
    {"GetSoundCardDwformats", 2000, TARSIN_TEXT(GetSoundCardDwformats)},
    {"GetSoundCardDwsupport", 2000, TARSIN_TEXT(GetSoundCardDwsupport)},
    {"GetCPUName", 2000, TARSIN_TEXT(GetCPUName)},
    {"GetCPUManufacturer", 2000, TARSIN_TEXT(GetCPUManufacturer)},
    {"GetOperatingSystemName", 2000, TARSIN_TEXT(GetOperatingSystemName)},
    {"GetOperatingSystemVersion", 2000, TARSIN_TEXT(GetOperatingSystemVersion)},
    {"GetIEVersion", 2000, TARSIN_TEXT(GetIEVersion)},
    {"GetCPUModel", 2000, TARSIN_TEXT(GetCPUModel)},
    {"GetPhysicsMemory", 2000, TARSIN_TEXT(GetPhysicsMemory)},
    {"GetComputerName", 2000, TARSIN_TEXT(GetComputerName)},
    {"GetComputerIP", 500, TARSIN_TEXT(GetComputerIP)},  // slow: the sockets start and stop each call
    {"GetVirtualMemory", 2000, TARSIN_TEXT(GetVirtualMemory)},
    {"GetDiskFreeSpace", 1000, [](Host& h) { double answer; h.tarsin->GetDiskFreeSpace(h.drive.p, &answer); }},
    {"GetDiskSpace", 1000, [](Host& h) { double answer; h.tarsin->GetDiskSpace(h.drive.p, &answer); }},
    {"GetDiskFATname", 1000, [](Host& h) { Bstr answer; h.tarsin->GetDiskFATname(h.drive.p, &answer.p); }},
    {"ChkSystemFdisk", 2000, [](Host& h) { LONG answer; h.tarsin->ChkSystemFdisk(h.drive.p, &answer); }},
    {"GetFixdDisk", 1000,
     [](Host& h) { WithArray([&](SAFEARRAY** a, VARIANT_BOOL* r) { h.tarsin->GetFixdDisk(a, r); }); }},
    // Three calls for every fixed drive: the slowest by far.
    {"GetComputerDiskInfo", 250, TARSIN_TEXT(GetComputerDiskInfo)},
    {"GetComputerSoftWare", 2000, TARSIN_TEXT(GetComputerSoftWare)},
    {"clsSoftWare.GetComputerSoftWare", 2000,
     [](Host& h) { WithArray([&](SAFEARRAY** a, VARIANT_BOOL* r) { h.software->GetComputerSoftWare(a, r); }); }},
    {"Corvel.dll load, call, free", 400, CorvelCycle, true},
    {"create, call, release, unload", 400, ComCycle, true},
    {"Tarsin.dll load, free", 400, TarsinCycle, true},  // after COM has let go of it
};

TEST(Memory, NothingIsKeptPerCallOrPerLoad) {
    // Wine's winmm brings its msacm32, whose own load and unload keep about 90 bytes
    // (Windows' winmm does not load it): the host holds it, as hosts that play sound do,
    // so that the loops see only what our two DLLs keep.
    ::LoadLibraryW(L"winmm.dll");
    Host host;
    ASSERT_EQ(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin,
                                 host.tarsin.raw()), S_OK);
    ASSERT_EQ(::CoCreateInstance(CLSID_clsSoftWare, nullptr, CLSCTX_INPROC_SERVER, IID__clsSoftWare,
                                 host.software.raw()), S_OK);
    host.drive.p = ::SysAllocString(L"C:");
    for (const Loop& loop : kLoops) {
        if (loop.unloads) host.tarsin.Reset(), host.software.Reset();
        for (int i = 0; i < kWarmUp; ++i) loop.round(host);
        const DWORD start = ::GetTickCount();
        const SIZE_T before = PrivateBytes();
        for (int i = 0; i < loop.rounds; ++i) loop.round(host);
        const double kept = (static_cast<double>(PrivateBytes()) - static_cast<double>(before)) / loop.rounds;
        std::printf("%-34s %6d rounds %9.1f bytes kept a round %7lu ms\n", loop.name, loop.rounds, kept,
                    static_cast<unsigned long>(::GetTickCount() - start));
        EXPECT_LE(kept, kLimit) << loop.name;
    }
    // The loops did unload: nothing of ours is left in the process.
    EXPECT_EQ(::GetModuleHandleW(DllPath().c_str()), nullptr);
    EXPECT_EQ(::GetModuleHandleW((DllFolder() + L"\\Corvel.dll").c_str()), nullptr);
}

}  // namespace

int main(int argc, char** argv) { return host::RunHostTests(argc, argv); }
