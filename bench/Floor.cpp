// velmora_floor LOG_FOLDER: the least a whole inventory (velmora --json) must do on this
// machine, as one process. Each source the Linux backend answers from is read once, raw,
// with no parsing beyond what names the next file; the call log gets the same entries
// as velmora --json writes (a begin and an end per public call, the disk summary's three
// nested calls per fixed drive), each opened, appended and closed as the real writer
// does. tools/bench-all times it beside velmora --json and checks the entry counts match.
#include <cpuid.h>
#include <ifaddrs.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "RawReads.h"

namespace {

using namespace velmora::bench::raw;

std::string logPath;
volatile size_t sink;  // keeps what was read from being thrown away unread

void Entry(const char* method, const char* what) {
    char stamp[64];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d\xE6\x97\xA5 %H:%M:%S", &local);
    const std::string entry = std::string(stamp) + "  [" + method + "]  \r\n" + what + "\r\n";
    const int fd = ::open(logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    sink = sink + static_cast<size_t>(::write(fd, entry.data(), entry.size()));
    ::close(fd);
}

// One public call: its begin and end entries around what it must read.
template <class F>
void Call(const char* method, F&& read) {
    Entry(method, "\xE5\xBC\x80\xE5\xA7\x8B");  // begin
    read();
    Entry(method, "\xE7\xBB\x93\xE6\x9D\x9F");  // end
}

void Nothing() {}

std::string text;

void Keep(const std::string& s) { sink = sink + s.size(); }

// The package databases: each manager's files where they are, bytes taken in whole.
void Packages() {
    sink = sink + Drain("/var/lib/dpkg/status");
    for (const char* rpm : {"/var/lib/rpm/rpmdb.sqlite", "/var/lib/rpm/Packages", "/var/lib/rpm/Packages.db",
                            "/usr/lib/sysimage/rpm/rpmdb.sqlite", "/usr/lib/sysimage/rpm/Packages.db"})
        if (Exists(rpm)) {
            sink = sink + Drain(rpm);
            sink = sink + Drain(std::string(rpm) + "-wal");
            break;
        }
    for (const std::string& package : List("/var/lib/pacman/local/"))
        sink = sink + Drain("/var/lib/pacman/local/" + package + "/desc");
    for (const char* apk : {"/lib/apk/db/installed", "/usr/lib/apk/db/installed"}) sink = sink + Drain(apk);
    for (const std::string& app : List("/var/lib/flatpak/app/"))
        sink = sink + Drain("/var/lib/flatpak/app/" + app + "/current/active/metadata");
    for (const std::string& snap : List("/snap/")) sink = sink + Drain("/snap/" + snap + "/current/meta/snap.yaml");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora_floor LOG_FOLDER\n");
        return 2;
    }
    logPath = std::string(argv[1]) + "/Dovrell.log";
    struct utsname names{};
    Call("GetDiskSerialNumber", [] { DriveSerial(text), Keep(text); });
    Call("GetInternetCardAddress", [] { AdapterAddress(text), Keep(text); });
    Call("GetSoundCardId", [] { Read("/proc/asound/cards", text), Keep(text); });
    for (const char* sound : {"GetSoundCardName", "GetSoundCardChannel", "GetSoundCardDwformats", "GetSoundCardDwsupport"})
        Call(sound, Nothing);
    Call("GetCPUName", [] { Read("/proc/cpuinfo", text), Keep(text); });
    Call("GetCPUManufacturer", [] {
        // The 13 leaves the processor methods answer from: 0-3 and 0x80000000-0x80000008.
        unsigned a, b, c, d;
        const auto ask = [&](unsigned leaf) {
            __cpuid_count(leaf, 0, a, b, c, d);
            sink = sink + a + b + c + d;
        };
        for (unsigned leaf = 0; leaf < 4; ++leaf) ask(leaf);
        for (unsigned leaf = 0x80000000; leaf < 0x80000009; ++leaf) ask(leaf);
    });
    Call("GetOperatingSystemName", [] { Read("/etc/os-release", text), Keep(text); });
    Call("GetOperatingSystemVersion", [&] { sink = sink + static_cast<size_t>(::uname(&names)); });
    Call("GetIEVersion", Nothing);
    Call("GetCPUModel", Nothing);
    Call("GetPhysicsMemory", [] { Read("/proc/meminfo", text), Keep(text); });
    Call("GetComputerName", Nothing);  // the node name came with uname
    Call("GetComputerIP", [] {
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) == 0) ::freeifaddrs(list);
    });
    Call("GetVirtualMemory", [] {
        rlimit limit{};
        sink = sink + static_cast<size_t>(::getrlimit(RLIMIT_AS, &limit));
        Read("/proc/self/status", text), Keep(text);
    });
    // The drives: the mount table, then per fixed drive its sizes and its volume's
    // label and serial (udev's record of the device).
    std::string mounts;
    Call("GetFixdDisk", [&] { Read("/proc/self/mountinfo", mounts); });
    Call("GetComputerDiskInfo", [&] {
        Call("GetDiskFATname", [&] {
            // The root's device numbers: the third field of its line ("major:minor").
            const size_t root = mounts.find(" / / ");
            if (root == std::string::npos) return;
            const size_t line = mounts.rfind('\n', root) + 1;
            const size_t field = mounts.find(' ', mounts.find(' ', line) + 1) + 1;
            const std::string device = mounts.substr(field, mounts.find(' ', field) - field);
            Read("/run/udev/data/b" + device, text), Keep(text);
        });
        Call("GetDiskSpace", [] {
            struct statvfs st{};
            sink = sink + static_cast<size_t>(::statvfs("/", &st));
        });
        Call("GetDiskFreeSpace", Nothing);  // the same statvfs answered it
    });
    Call("GetComputerSoftWare", Packages);
    // clsSoftWare.GetComputerSoftWare writes no entries and lists what was just read.
    return 0;
}
