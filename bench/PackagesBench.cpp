// The package databases' readers on 1,000 packages each, in trees laid out as the
// managers write them (made once in a scratch folder), beside `pacman -Q` on the same
// pacman database. Run by hand: build/…/bench/velmora_packages_bench.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/packages/PackageReaders.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
constexpr int kPackages = 1000;

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

void Link(const std::string& target, const fs::path& link) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

// pacman, apk, flatpak and snap trees of kPackages each under `root`.
void MakeTrees(const fs::path& root) {
    fs::create_directories(root / "lib/apk/db");
    std::ofstream apk(root / "lib/apk/db/installed", std::ios::binary);
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

const std::string& Root() {
    static const std::string root = [] {
        char folder[] = "/tmp/velmora-packages-bench-XXXXXX";
        const std::string made = std::string(::mkdtemp(folder)) + "/";
        MakeTrees(made);
        return made;
    }();
    return root;
}

void Reader(benchmark::State& state, PackageReader read) {
    std::vector<PackageRecord> records;
    for (auto _ : state) {
        records.clear();
        if (!read(Root(), records) || records.size() != kPackages) {
            state.SkipWithError("the reader did not list every package");
            break;
        }
    }
}

void PacmanQuery(benchmark::State& state) {
    const std::string command = "pacman -r " + Root() + " --dbpath " + Root() + "var/lib/pacman -Q >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("pacman is missing or failed");
            break;
        }
}

BENCHMARK_CAPTURE(Reader, pacman, ReadPacmanPackages);
BENCHMARK_CAPTURE(Reader, apk, ReadApkPackages);
BENCHMARK_CAPTURE(Reader, flatpak, ReadFlatpakPackages);
BENCHMARK_CAPTURE(Reader, snap, ReadSnapPackages);
BENCHMARK(PacmanQuery)->Iterations(20);

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(velmora::Root());
    return 0;
}
