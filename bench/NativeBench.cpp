// The cost of each public method through the facade (its two log entries included,
// written to a scratch folder), beside the raw platform calls it cannot do without
// (its floor) and the system tool that tells the same fact, run as a whole process.
// tools/bench-all runs this and turns the medians into BENCHMARKS.md.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/LinuxPlatform.h"
#include "public/clsTarsin.h"
#include "public/modPublic.h"
#include "registry/clsSoftWare.h"
#include "Floors.h"
#include "RunProcess.h"

namespace velmora {
namespace {
using bench::Floors;
using bench::RunProcess;

// One real platform for the whole run; its log goes to VELMORA_BENCH_LOG_DIR.
LinuxPlatform& Real() {
    static LinuxPlatform platform([] {
        const char* folder = std::getenv("VELMORA_BENCH_LOG_DIR");
        return FromAscii(folder && *folder ? folder : "/tmp");
    }());
    return platform;
}

const String kDrive = u"C:";

using Call = std::function<void(clsTarsin&)>;

template <class T>
void Keep(T&& value) {
    benchmark::DoNotOptimize(value);
}

const std::vector<std::pair<const char*, Call>>& Methods() {
    static const std::vector<std::pair<const char*, Call>> methods = {
        {"GetDiskSerialNumber", [](clsTarsin& t) { Keep(t.GetDiskSerialNumber()); }},
        {"GetInternetCardAddress", [](clsTarsin& t) { Keep(t.GetInternetCardAddress()); }},
        {"GetSoundCardId", [](clsTarsin& t) { Keep(t.GetSoundCardId()); }},
        {"GetSoundCardName", [](clsTarsin& t) { Keep(t.GetSoundCardName()); }},
        {"GetSoundCardChannel", [](clsTarsin& t) { Keep(t.GetSoundCardChannel()); }},
        {"GetSoundCardDwformats", [](clsTarsin& t) { Keep(t.GetSoundCardDwformats()); }},
        {"GetSoundCardDwsupport", [](clsTarsin& t) { Keep(t.GetSoundCardDwsupport()); }},
        {"GetCPUName", [](clsTarsin& t) { Keep(t.GetCPUName()); }},
        {"GetCPUManufacturer", [](clsTarsin& t) { Keep(t.GetCPUManufacturer()); }},
        {"GetOperatingSystemName", [](clsTarsin& t) { Keep(t.GetOperatingSystemName()); }},
        {"GetOperatingSystemVersion", [](clsTarsin& t) { Keep(t.GetOperatingSystemVersion()); }},
        {"GetIEVersion", [](clsTarsin& t) { Keep(t.GetIEVersion()); }},
        {"GetCPUModel", [](clsTarsin& t) { Keep(t.GetCPUModel()); }},
        {"GetPhysicsMemory", [](clsTarsin& t) { Keep(t.GetPhysicsMemory()); }},
        {"GetComputerName", [](clsTarsin& t) { Keep(t.GetComputerName()); }},
        {"GetComputerIP", [](clsTarsin& t) { Keep(t.GetComputerIP()); }},
        {"GetVirtualMemory", [](clsTarsin& t) { Keep(t.GetVirtualMemory()); }},
        {"GetDiskFreeSpace", [](clsTarsin& t) { Keep(t.GetDiskFreeSpace(kDrive)); }},
        {"GetDiskSpace", [](clsTarsin& t) { Keep(t.GetDiskSpace(kDrive)); }},
        {"GetDiskFATname", [](clsTarsin& t) { Keep(t.GetDiskFATname(kDrive)); }},
        {"ChkSystemFdisk", [](clsTarsin& t) { Keep(t.ChkSystemFdisk(kDrive)); }},
        {"GetFixdDisk",
         [](clsTarsin& t) {
             std::vector<String> drives(1);
             Keep(t.GetFixdDisk(drives));
         }},
        {"GetComputerDiskInfo", [](clsTarsin& t) { Keep(t.GetComputerDiskInfo()); }},
        {"GetComputerSoftWare", [](clsTarsin& t) { Keep(t.GetComputerSoftWare()); }},
    };
    return methods;
}

// The system's own tools, each run to its end with its output thrown away.
const std::vector<std::pair<const char*, std::vector<const char*>>>& Peers() {
    static const std::vector<std::pair<const char*, std::vector<const char*>>> peers = {
        {"lscpu", {"lscpu"}},
        {"ip_link", {"ip", "link"}},
        {"df", {"df", "-T", "/"}},
        {"free", {"free"}},
        {"dpkg-query_W", {"dpkg-query", "-W"}},
        {"hostname", {"hostname"}},
        {"hostname_I", {"hostname", "-I"}},
        {"lsblk_serial", {"lsblk", "-dno", "SERIAL"}},
        {"uname_sr", {"uname", "-sr"}},
        {"findmnt_root", {"findmnt", "-no", "SOURCE", "/"}},
        {"asound_cards", {"cat", "/proc/asound/cards"}},
    };
    return peers;
}

void Register() {
    for (const auto& [name, call] : Methods())
        benchmark::RegisterBenchmark((std::string("method/") + name).c_str(), [call = call](benchmark::State& state) {
            clsTarsin tarsin(Real().platform());
            for (auto _ : state) call(tarsin);
        });
    benchmark::RegisterBenchmark("method/clsSoftWare.GetComputerSoftWare", [](benchmark::State& state) {
        for (auto _ : state) {
            std::vector<String> names(1);
            Keep(clsSoftWare(Real().platform()).GetComputerSoftWare(names));
        }
    });
    for (const auto& [name, floor] : Floors())
        benchmark::RegisterBenchmark((std::string("floor/") + name).c_str(), [floor = floor](benchmark::State& state) {
            for (auto _ : state) floor(Real().platform());
        });
    for (const auto& [name, argv] : Peers())
        benchmark::RegisterBenchmark((std::string("peer/") + name).c_str(), [argv = argv](benchmark::State& state) {
            for (auto _ : state)
                if (!RunProcess(argv)) {
                    state.SkipWithError("the tool failed or is missing");
                    break;
                }
        })->Iterations(20);
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    velmora::Register();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
