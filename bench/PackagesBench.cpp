// The cost of the installed-programs list per package database: each reader alone on
// 1,000 packages laid out as its manager writes them (dpkg, pacman, apk, flatpak and
// snap trees written here; a real rpm database made by rpm's own tools), dpkg's reader
// on this machine's own status file, the manager's own listing as a whole process where
// the tool is installed, and the whole list through the facade on a root holding all six.
// The trees are made once per run in a scratch folder. tools/bench-all runs this.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/packages/DpkgPackages.h"
#include "platform/linux/packages/PackageReaders.h"
#include "platform/linux/packages/RpmPackages.h"
#include "registry/clsSoftWare.h"
#include "RunProcess.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using bench::RunProcess;
constexpr int kPackages = 1000;

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

void Link(const std::string& target, const fs::path& link) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

// dpkg, pacman, apk, flatpak and snap trees of kPackages each under `root`.
void MakeTrees(const fs::path& root) {
    fs::create_directories(root / "lib/apk/db");
    std::ofstream apk(root / "lib/apk/db/installed", std::ios::binary);
    // dpkg-query wants its updates and info folders beside the status file.
    fs::create_directories(root / "var/lib/dpkg/updates");
    fs::create_directories(root / "var/lib/dpkg/info");
    std::ofstream dpkg(root / "var/lib/dpkg/status", std::ios::binary);
    Write(root / "var/lib/pacman/local/ALPM_DB_VERSION", "9\n");
    for (int i = 0; i < kPackages; ++i) {
        const std::string name = "package" + std::to_string(i), version = "1:2." + std::to_string(i) + "-1";
        Write(
            root / "var/lib/pacman/local" / (name + "-" + version) / "desc",
            "%NAME%\n" + name + "\n\n%VERSION%\n" + version + "\n\n%BASE%\n" + name +
                "\n\n%DESC%\nA package\n\n"
                "%URL%\nhttps://"
                "example.org\n\n%ARCH%\nx86_64\n\n%BUILDDATE%\n1700000000\n\n%INSTALLDATE%\n1700000001\n\n"
                "%PACKAGER%\nSomeone <someone@example.org>\n\n%SIZE%\n12345\n\n%LICENSE%\nMIT\n\n%VALIDATION%\npgp\n\n"
                "%DEPENDS%\nglibc\nzlib\n\n");
        dpkg << "Package: " << name << "\nStatus: install ok installed\nPriority: optional\nSection: misc\n"
             << "Installed-Size: 123\nMaintainer: Someone <someone@example.org>\nArchitecture: amd64\n"
             << "Version: 2." << i << "-1\nDepends: libc6 (>= 2.34), zlib1g\nDescription: A package\n"
             << " Its longer description, on a line of its own.\n\n";
        apk << "C:Q1abcdefghijklmnopqrstuvwxyz0=\nP:" << name << "\nV:2." << i << "-r0\nA:x86_64\nS:1234\nI:5678\n"
            << "T:A package\nU:https://example.org\nL:MIT\no:" << name << "\nm:Someone <someone@example.org>\n"
            << "t:1700000000\nc:0123456789abcdef\nF:usr/bin\nR:" << name << "\nZ:Q1zz=\nF:usr/share/doc/" << name
            << "\nR:README\nZ:Q1yy=\n\n";
        const std::string id = "org.example.App" + std::to_string(i), app = "var/lib/flatpak/app/" + id;
        Write(root / app / "x86_64/stable/0123abcd/metadata",
              "[Application]\nname=" + id + "\nruntime=org.example.Platform/x86_64/1\n");
        Write(root / app / "x86_64/stable/0123abcd/files/share/metainfo" / (id + ".metainfo.xml"),
              "<?xml version=\"1.0\"?>\n<component type=\"desktop-application\">\n  <id>" + id +
                  "</id>\n  <name>App</name>\n  <developer_name>Example</developer_name>\n  <summary>An app</summary>\n"
                  "  <releases>\n    <release version=\"2." +
                  std::to_string(i) +
                  "\" date=\"2026-01-01\"/>\n"
                  "  </releases>\n</component>\n");
        Link("0123abcd", root / app / "x86_64/stable/active");
        Link("x86_64/stable", root / app / "current");
        Write(root / "snap" / name / "42/meta/snap.yaml", "name: " + name + "\nversion: '2." + std::to_string(i) +
                                                              "'\nsummary: A snap\napps:\n  " + name +
                                                              ":\n    command: bin/run\n");
        Link("42", root / "snap" / name / "current");
    }
}

// The scratch folder: the root holding all six sources, and rpm's work folder beside it.
const std::string& Scratch() {
    static const std::string scratch = [] {
        char folder[] = "/tmp/velmora-packages-bench-XXXXXX";
        return std::string(::mkdtemp(folder)) + "/";
    }();
    return scratch;
}

// rpmbuild and rpm make kPackages packages (the fixture's probe ones and plain ones)
// in a real sqlite database; false where rpm is not installed.
bool MakeRpm(const std::string& root) {
    const std::string command = "sh " VELMORA_RPM_FIXTURE " sqlite " + Scratch() + "rpm-work " + root + " " +
                                std::to_string(kPackages - 5) + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

const std::string& Root() {
    static const std::string root = [] {
        const std::string made = Scratch() + "root/";
        MakeTrees(made);
        return made;
    }();
    return root;
}

bool HaveRpm() {
    static const bool made = MakeRpm(Root());
    return made;
}

// The packages a reader lists, in the benchmark's label, so the report can say how many.
void Reader(benchmark::State& state, PackageReader read, std::string root, size_t expected) {
    size_t listed = 0;
    for (auto _ : state) {
        PackageRecords records;
        if (!read(root, records) || (expected && records.size() != expected)) {
            state.SkipWithError("the reader did not list every package");
            return;
        }
        listed = records.size();
    }
    state.SetLabel(std::to_string(listed) + " packages");
}

void Tool(benchmark::State& state, std::vector<const char*> argv) {
    for (auto _ : state)
        if (!RunProcess(argv)) {
            state.SkipWithError("the tool is missing or failed");
            break;
        }
}

// Every family of the real platform but the registry, which reads the scratch root.
LinuxPlatform& Real() {
    static LinuxPlatform platform;
    return platform;
}

// The list as a caller sees it: the registry keeps its tree until a database changes, so
// the first call, which builds it, is left out (facade/BuildLinuxRegistry is that cost).
void Facade(benchmark::State& state) {
    static LinuxRegistry registry(Root());
    Platform& real = Real().platform();
    Platform atRoot{
        .version = real.version,
        .files = real.files,
        .host = real.host,
        .codec = real.codec,
        .disk = real.disk,
        .libraries = real.libraries,
        .drives = real.drives,
        .cpu = real.cpu,
        .registry = registry,
        .systemInfo = real.systemInfo,
        .netbios = real.netbios,
        .sockets = real.sockets,
        .wave = real.wave,
    };
    std::vector<String> names(1);
    clsSoftWare(atRoot).GetComputerSoftWare(names);
    for (auto _ : state) {
        names.assign(1, String());
        if (!clsSoftWare(atRoot).GetComputerSoftWare(names)) {
            state.SkipWithError("the list failed");
            return;
        }
    }
    state.SetLabel(std::to_string(names.size() - 1) + " packages");
}

// The tree the registry keeps, built anew from all six: what the first call after a
// change of any database pays before the walk.
void Build(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(BuildLinuxRegistry(Root()));
}

void Register() {
    const std::string& root = Root();  // lives as long as the run: the tools keep pointers into it
    const bool rpm = HaveRpm();
    benchmark::RegisterBenchmark("reader/dpkg", Reader, ReadDpkgPackages, root, kPackages);
    benchmark::RegisterBenchmark("reader/dpkg_system", Reader, ReadDpkgPackages, std::string("/"), 0);
    if (rpm) benchmark::RegisterBenchmark("reader/rpm", Reader, ReadRpmPackages, root, kPackages);
    benchmark::RegisterBenchmark("reader/pacman", Reader, ReadPacmanPackages, root, kPackages);
    benchmark::RegisterBenchmark("reader/apk", Reader, ReadApkPackages, root, kPackages);
    benchmark::RegisterBenchmark("reader/flatpak", Reader, ReadFlatpakPackages, root, kPackages);
    benchmark::RegisterBenchmark("reader/snap", Reader, ReadSnapPackages, root, kPackages);
    // Static for the same reason.
    static const std::string dpkgAdmin = "--admindir=" + root + "var/lib/dpkg", pacmanDb = root + "var/lib/pacman";
    benchmark::RegisterBenchmark("tool/dpkg", Tool, std::vector<const char*>{"dpkg-query", dpkgAdmin.c_str(), "-W"})
        ->Iterations(20);
    benchmark::RegisterBenchmark("tool/dpkg_system", Tool, std::vector<const char*>{"dpkg-query", "-W"})
        ->Iterations(20);
    if (rpm)
        benchmark::RegisterBenchmark("tool/rpm", Tool,
                                     std::vector<const char*>{"rpm", "--root", root.c_str(), "--dbpath", "/var/lib/rpm", "-qa"})
            ->Iterations(20);
    benchmark::RegisterBenchmark(
        "tool/pacman", Tool, std::vector<const char*>{"pacman", "-r", root.c_str(), "--dbpath", pacmanDb.c_str(), "-Q"})
        ->Iterations(20);
    benchmark::RegisterBenchmark("facade/clsSoftWare.GetComputerSoftWare", Facade);
    benchmark::RegisterBenchmark("facade/BuildLinuxRegistry", Build);
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    velmora::Register();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(velmora::Scratch());
    return 0;
}
