// The Windows timing host, run under Wine by tools/bench-all: every method of the
// registered Tarsin.dll early bound (vtable) and late bound (IDispatch::Invoke),
// the same through the facade directly on the real Win32 backend, the floors, and
// Wine's WMI classes for the same facts, all in one run.
// Prints one "kind/name<TAB>median nanoseconds per call" line per case, and
// "kept/name<TAB>bytes" for the memory a call or a load and unload leaves behind.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <wbemcli.h>
#include <psapi.h>
#undef GetComputerName
#undef GetDiskFreeSpace
#include "Velmora.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "Floors.h"
#include "platform/win32/Win32Platform.h"
#include "public/clsTarsin.h"
#include "registry/clsSoftWare.h"

namespace {

using velmora::String;
using velmora::Win32Platform;
using Facade = velmora::clsTarsin;
using velmora::bench::Keep;

int gRepetitions = 9;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    ::QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// The median over the repetitions of the mean cost of a batch; a batch runs for
// about 20 ms (at least one call) so cheap calls are not lost in the timer.
void Measure(const std::string& name, const std::function<void()>& call) {
    call();  // warm up: first loads and caches are not what a caller pays each time
    const double start = Now();
    call();
    const double one = std::max(Now() - start, 1.0);
    const int batch = std::clamp(static_cast<int>(20e6 / one), 1, 1000000);
    std::vector<double> costs;
    for (int r = 0; r < gRepetitions; ++r) {
        const double t0 = Now();
        for (int i = 0; i < batch; ++i) call();
        costs.push_back((Now() - t0) / batch);
    }
    std::sort(costs.begin(), costs.end());
    std::printf("%s\t%.0f\n", name.c_str(), costs[costs.size() / 2]);
    std::fflush(stdout);
}

// Private bytes (Wine fills PagefileUsage, the commit charge, and leaves PrivateUsage 0).
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

// What `rounds` more rounds leave in private bytes after 100 of warm-up, per round.
void MeasureKept(const std::string& name, int rounds, const std::function<void()>& round) {
    for (int i = 0; i < 100; ++i) round();
    const SIZE_T before = PrivateBytes();
    for (int i = 0; i < rounds; ++i) round();
    const double kept = (static_cast<double>(PrivateBytes()) - static_cast<double>(before)) / rounds;
    std::printf("kept/%s\t%.1f\n", name.c_str(), kept);
    std::fflush(stdout);
}

struct Bstr {
    BSTR p = nullptr;
    explicit Bstr(const wchar_t* text = nullptr) : p(text ? ::SysAllocString(text) : nullptr) {}
    ~Bstr() { ::SysFreeString(p); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
};

// A one-element array of strings as a VB host passes it (element 0 kept).
SAFEARRAY* NewStringArray() {
    SAFEARRAYBOUND bound{1, 0};
    return ::SafeArrayCreate(VT_BSTR, 1, &bound);
}

using EarlyString = HRESULT(STDMETHODCALLTYPE _clsTarsin::*)(BSTR*);
using EarlyDrive = HRESULT(STDMETHODCALLTYPE _clsTarsin::*)(BSTR, double*);

enum class Kind { String, DriveNumber, DriveString, DriveLong, Array };
struct Method {
    const char* name;
    Kind kind;
    EarlyString early = nullptr;
    EarlyDrive earlyDrive = nullptr;
    std::function<void(Facade&)> facade;
};

const String kDrive = u"C:";

std::vector<Method> Methods() {
    return {
        {"GetDiskSerialNumber", Kind::String, &_clsTarsin::GetDiskSerialNumber, nullptr, [](Facade& t) { Keep(t.GetDiskSerialNumber()); }},
        {"GetInternetCardAddress", Kind::String, &_clsTarsin::GetInternetCardAddress, nullptr, [](Facade& t) { Keep(t.GetInternetCardAddress()); }},
        {"GetSoundCardId", Kind::String, &_clsTarsin::GetSoundCardId, nullptr, [](Facade& t) { Keep(t.GetSoundCardId()); }},
        {"GetSoundCardName", Kind::String, &_clsTarsin::GetSoundCardName, nullptr, [](Facade& t) { Keep(t.GetSoundCardName()); }},
        {"GetSoundCardChannel", Kind::String, &_clsTarsin::GetSoundCardChannel, nullptr, [](Facade& t) { Keep(t.GetSoundCardChannel()); }},
        {"GetSoundCardDwformats", Kind::String, &_clsTarsin::GetSoundCardDwformats, nullptr, [](Facade& t) { Keep(t.GetSoundCardDwformats()); }},
        {"GetSoundCardDwsupport", Kind::String, &_clsTarsin::GetSoundCardDwsupport, nullptr, [](Facade& t) { Keep(t.GetSoundCardDwsupport()); }},
        {"GetCPUName", Kind::String, &_clsTarsin::GetCPUName, nullptr, [](Facade& t) { Keep(t.GetCPUName()); }},
        {"GetCPUManufacturer", Kind::String, &_clsTarsin::GetCPUManufacturer, nullptr, [](Facade& t) { Keep(t.GetCPUManufacturer()); }},
        {"GetOperatingSystemName", Kind::String, &_clsTarsin::GetOperatingSystemName, nullptr, [](Facade& t) { Keep(t.GetOperatingSystemName()); }},
        {"GetOperatingSystemVersion", Kind::String, &_clsTarsin::GetOperatingSystemVersion, nullptr, [](Facade& t) { Keep(t.GetOperatingSystemVersion()); }},
        {"GetIEVersion", Kind::String, &_clsTarsin::GetIEVersion, nullptr, [](Facade& t) { Keep(t.GetIEVersion()); }},
        {"GetCPUModel", Kind::String, &_clsTarsin::GetCPUModel, nullptr, [](Facade& t) { Keep(t.GetCPUModel()); }},
        {"GetPhysicsMemory", Kind::String, &_clsTarsin::GetPhysicsMemory, nullptr, [](Facade& t) { Keep(t.GetPhysicsMemory()); }},
        {"GetComputerName", Kind::String, &_clsTarsin::GetComputerName, nullptr, [](Facade& t) { Keep(t.GetComputerName()); }},
        {"GetComputerIP", Kind::String, &_clsTarsin::GetComputerIP, nullptr, [](Facade& t) { Keep(t.GetComputerIP()); }},
        {"GetVirtualMemory", Kind::String, &_clsTarsin::GetVirtualMemory, nullptr, [](Facade& t) { Keep(t.GetVirtualMemory()); }},
        {"GetDiskFreeSpace", Kind::DriveNumber, nullptr, &_clsTarsin::GetDiskFreeSpace, [](Facade& t) { Keep(t.GetDiskFreeSpace(kDrive)); }},
        {"GetDiskSpace", Kind::DriveNumber, nullptr, &_clsTarsin::GetDiskSpace, [](Facade& t) { Keep(t.GetDiskSpace(kDrive)); }},
        {"GetDiskFATname", Kind::DriveString, nullptr, nullptr, [](Facade& t) { Keep(t.GetDiskFATname(kDrive)); }},
        {"ChkSystemFdisk", Kind::DriveLong, nullptr, nullptr, [](Facade& t) { Keep(t.ChkSystemFdisk(kDrive)); }},
        {"GetFixdDisk", Kind::Array, nullptr, nullptr,
         [](Facade& t) {
             std::vector<String> drives(1);
             Keep(t.GetFixdDisk(drives));
         }},
        {"GetComputerDiskInfo", Kind::String, &_clsTarsin::GetComputerDiskInfo, nullptr, [](Facade& t) { Keep(t.GetComputerDiskInfo()); }},
        {"GetComputerSoftWare", Kind::String, &_clsTarsin::GetComputerSoftWare, nullptr, [](Facade& t) { Keep(t.GetComputerSoftWare()); }},
    };
}

void Early(_clsTarsin* object, const Method& m) {
    Bstr drive(L"C:");
    switch (m.kind) {
    case Kind::String: {
        BSTR answer = nullptr;
        (object->*m.early)(&answer);
        ::SysFreeString(answer);
        break;
    }
    case Kind::DriveNumber: {
        double answer = 0;
        (object->*m.earlyDrive)(drive.p, &answer);
        break;
    }
    case Kind::DriveString: {
        BSTR answer = nullptr;
        object->GetDiskFATname(drive.p, &answer);
        ::SysFreeString(answer);
        break;
    }
    case Kind::DriveLong: {
        LONG answer = 0;
        object->ChkSystemFdisk(drive.p, &answer);
        break;
    }
    case Kind::Array: {
        SAFEARRAY* array = NewStringArray();
        VARIANT_BOOL answer = 0;
        object->GetFixdDisk(&array, &answer);
        ::SafeArrayDestroy(array);
        break;
    }
    }
}

// Late bound as a script host calls: the identifier from the type library's
// numbering, the arguments as VARIANTs, the answer as a VARIANT.
void Late(IDispatch* object, DISPID id, Kind kind) {
    VARIANT argument, result;
    ::VariantInit(&argument);
    ::VariantInit(&result);
    SAFEARRAY* array = nullptr;
    DISPPARAMS params{};
    if (kind == Kind::Array) {
        array = NewStringArray();
        argument.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
        argument.pparray = &array;
        params = {&argument, nullptr, 1, 0};
    } else if (kind != Kind::String) {
        argument.vt = VT_BSTR;
        argument.bstrVal = ::SysAllocString(L"C:");
        params = {&argument, nullptr, 1, 0};
    }
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    ::VariantClear(&result);
    if (array) ::SafeArrayDestroy(array);
    else ::VariantClear(&argument);
}

// One WMI query as a host asks it: every instance of the class, one property read.
void WmiQuery(IWbemServices* services, const wchar_t* wql, const wchar_t* property) {
    Bstr language(L"WQL"), query(wql);
    IEnumWbemClassObject* items = nullptr;
    if (FAILED(services->ExecQuery(language.p, query.p, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                   &items)))
        return;
    IWbemClassObject* item = nullptr;
    ULONG got = 0;
    while (items->Next(WBEM_INFINITE, 1, &item, &got) == S_OK && got == 1) {
        VARIANT value;
        ::VariantInit(&value);
        item->Get(property, 0, &value, nullptr, nullptr);
        ::VariantClear(&value);
        item->Release();
    }
    items->Release();
}

IWbemServices* ConnectWmi() {
    IWbemLocator* locator = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  reinterpret_cast<void**>(&locator))))
        return nullptr;
    IWbemServices* services = nullptr;
    Bstr ns(L"ROOT\\CIMV2");
    locator->ConnectServer(ns.p, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
    locator->Release();
    return services;
}

// Holds an exclusive lock on the whole file until `done` is signalled, as another
// program (a backup, a viewer) may; run as a child of this host.
int HoldLock(const char* path) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
    HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, "VelmoraBenchLocked");
    HANDLE done = ::OpenEventA(SYNCHRONIZE, FALSE, "VelmoraBenchUnlock");
    if (file == INVALID_HANDLE_VALUE || !ready || !done || !::LockFile(file, 0, 0, MAXDWORD, MAXDWORD)) return 3;
    ::SetEvent(ready);
    ::WaitForSingleObject(done, INFINITE);
    ::UnlockFile(file, 0, 0, MAXDWORD, MAXDWORD);
    ::CloseHandle(file);
    return 0;
}

// One late-bound call of the registered DLL with its log writable, replaced by a
// folder (access denied, as Program Files answers a standard user), and locked
// whole by another process.
void MeasureLogConditions(IDispatch* tarsin) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string folder(self, std::strrchr(self, '\\'));  // the registered copy lies beside this host
    const std::string log = folder + "\\Dovrell.log";
    const auto call = [&] { Late(tarsin, 0x6003000A, Kind::String); };  // GetOperatingSystemVersion
    Measure("log/writable", call);

    ::DeleteFileA(log.c_str());
    if (::CreateDirectoryA(log.c_str(), nullptr)) {
        Measure("log/unwritable", call);
        ::RemoveDirectoryA(log.c_str());
    }

    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, "VelmoraBenchLocked");
    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, "VelmoraBenchUnlock");
    std::string command = "\"" + std::string(self) + "\" --hold-lock \"" + log + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
        if (::WaitForSingleObject(ready, 20000) == WAIT_OBJECT_0) Measure("log/locked", call);
        ::SetEvent(done);
        ::WaitForSingleObject(child.hProcess, 20000);
        ::CloseHandle(child.hProcess);
        ::CloseHandle(child.hThread);
    }
    ::CloseHandle(ready);
    ::CloseHandle(done);
}

// Loads and unloads of the DLLs beside this host (the registered copy): Corvel.dll
// with its export called, Tarsin.dll, and a COM create, call, release and unload.
void MeasureLoads() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring folder(self, std::wcsrchr(self, L'\\'));
    const std::wstring corvel = folder + L"\\Corvel.dll", tarsin = folder + L"\\Tarsin.dll";
    ::CoFreeUnusedLibrariesEx(0, 0);  // the host's own objects are gone: COM lets go of the DLL
    const auto corvelCycle = [&] {
        const HMODULE library = ::LoadLibraryW(corvel.c_str());
        using Export = int32_t(__stdcall*)(char*);
        if (auto code = reinterpret_cast<Export>(reinterpret_cast<void*>(::GetProcAddress(library, "GetComputerIdCodeInNT")))) {
            char buffer[18] = "                 ";
            code(buffer);
        }
        ::FreeLibrary(library);
    };
    const auto tarsinCycle = [&] { ::FreeLibrary(::LoadLibraryW(tarsin.c_str())); };
    const auto comCycle = [] {
        _clsTarsin* object = nullptr;
        if (SUCCEEDED(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin,
                                         reinterpret_cast<void**>(&object)))) {
            BSTR answer = nullptr;
            object->GetCPUName(&answer);
            ::SysFreeString(answer);
            object->Release();
        }
        ::CoFreeUnusedLibrariesEx(0, 0);
    };
    Measure("cycle/Corvel.dll", corvelCycle);
    MeasureKept("load/Corvel.dll", 1000, corvelCycle);
    Measure("cycle/Tarsin.dll", tarsinCycle);
    MeasureKept("load/Tarsin.dll", 1000, tarsinCycle);
    Measure("cycle/com", comCycle);
    MeasureKept("load/com", 1000, comCycle);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--hold-lock") return HoldLock(argv[2]);
    if (argc > 1) gRepetitions = std::max(1, std::atoi(argv[1]));
    // The facade's own log goes to a scratch folder beside the registered copy's.
    const char* logFolder = std::getenv("VELMORA_BENCH_LOG_DIR");
    std::u16string folder;
    for (const char* c = logFolder ? logFolder : "C:\\"; *c; ++c) folder += static_cast<char16_t>(*c);
    static Win32Platform real(folder);

    if (FAILED(::CoInitialize(nullptr))) return 1;
    _clsTarsin* tarsin = nullptr;
    _clsSoftWare* software = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_clsTarsin, nullptr, CLSCTX_INPROC_SERVER, IID__clsTarsin,
                                  reinterpret_cast<void**>(&tarsin))) ||
        FAILED(::CoCreateInstance(CLSID_clsSoftWare, nullptr, CLSCTX_INPROC_SERVER, IID__clsSoftWare,
                                  reinterpret_cast<void**>(&software)))) {
        std::fprintf(stderr, "Tarsin.dll is not registered\n");
        return 1;
    }

    Facade facade(real.platform());
    const std::vector<Method> methods = Methods();
    for (size_t i = 0; i < methods.size(); ++i) {
        const Method& m = methods[i];
        const std::string name = m.name;
        Measure("method/" + name, [&] { m.facade(facade); });
        Measure("early/" + name, [&] { Early(tarsin, m); });
        Measure("late/" + name, [&] { Late(tarsin, static_cast<DISPID>(0x60030000 + i), m.kind); });
    }
    MeasureLogConditions(tarsin);
    const std::string soft = "clsSoftWare.GetComputerSoftWare";
    Measure("method/" + soft, [&] {
        std::vector<String> names(1);
        Keep(velmora::clsSoftWare(real.platform()).GetComputerSoftWare(names));
    });
    Measure("early/" + soft, [&] {
        SAFEARRAY* array = NewStringArray();
        VARIANT_BOOL answer = 0;
        software->GetComputerSoftWare(&array, &answer);
        ::SafeArrayDestroy(array);
    });
    Measure("late/" + soft, [&] { Late(software, 0x60030000, Kind::Array); });

    for (const auto& [name, floor] : velmora::bench::Floors()) Measure(std::string("floor/") + name, [&] { floor(real.platform()); });

    if (IWbemServices* services = ConnectWmi()) {
        Measure("peer/wmi_connect", [] {
            if (IWbemServices* s = ConnectWmi()) s->Release();
        });
        const struct {
            const char* name;
            const wchar_t* query;
            const wchar_t* property;
        } peers[] = {
            {"wmi_Win32_Processor", L"SELECT * FROM Win32_Processor", L"Name"},
            {"wmi_Win32_LogicalDisk", L"SELECT * FROM Win32_LogicalDisk", L"FreeSpace"},
            {"wmi_Win32_NetworkAdapter", L"SELECT * FROM Win32_NetworkAdapter", L"MACAddress"},
            {"wmi_Win32_OperatingSystem", L"SELECT * FROM Win32_OperatingSystem", L"Caption"},
            {"wmi_Win32_ComputerSystem", L"SELECT * FROM Win32_ComputerSystem", L"Name"},
            {"wmi_Win32_DiskDrive", L"SELECT * FROM Win32_DiskDrive", L"SerialNumber"},
            {"wmi_Win32_SoundDevice", L"SELECT * FROM Win32_SoundDevice", L"Name"},
            {"wmi_Win32_NetworkAdapterConfiguration", L"SELECT * FROM Win32_NetworkAdapterConfiguration",
             L"IPAddress"},
        };
        for (const auto& p : peers) Measure(std::string("peer/") + p.name, [&] { WmiQuery(services, p.query, p.property); });
        services->Release();
    } else {
        std::fprintf(stderr, "WMI is not available\n");
    }
    for (const Method& m : methods) MeasureKept(m.name, 1000, [&] { Early(tarsin, m); });
    MeasureKept(soft, 1000, [&] { Late(software, 0x60030000, Kind::Array); });
    software->Release();
    tarsin->Release();
    MeasureLoads();
    ::CoUninitialize();
    return 0;
}
