#pragma once
// Raw reads of the files the Linux backend answers from, with no parsing beyond what
// tells which file to read next. The drive and adapter floors and the whole-inventory
// floor program (velmora_floor) share them, so both count the same reads.
#include <dirent.h>
#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace velmora::bench::raw {

// The whole file into `into`; false when it cannot be opened.
inline bool Read(const std::string& path, std::string& into) {
    into.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    char chunk[65536];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) into.append(chunk, static_cast<size_t>(n));
    ::close(fd);
    return true;
}

// The whole file read and thrown away (a database whose bytes any reader must take in).
inline size_t Drain(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    static char chunk[65536];
    size_t total = 0;
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) total += static_cast<size_t>(n);
    ::close(fd);
    return total;
}

inline std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    return names;
}

inline bool Exists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

inline bool HasText(const std::string& s) {
    return s.find_first_not_of(" \t\r\n") != std::string::npos;
}

// Drive 0's serial as the backend must find it: the whole disks (by name, then a
// device link each), their removable marks only when several are to be ordered, the
// device node (its IDENTIFY comes first wherever it opens), then the published serial
// in the order the backend tries its places. False when no serial is published.
inline bool DriveSerial(std::string& serial) {
    static const char* const kNotADisk[] = {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd", "zd"};
    std::vector<std::string> disks;
    for (const std::string& name : List("/sys/block/")) {
        if (std::any_of(std::begin(kNotADisk), std::end(kNotADisk),
                        [&](const char* p) { return name.compare(0, std::strlen(p), p) == 0; }))
            continue;
        if (Exists("/sys/block/" + name + "/device")) disks.push_back(name);
    }
    if (disks.empty()) return false;
    std::sort(disks.begin(), disks.end());
    if (disks.size() > 1)
        std::stable_partition(disks.begin(), disks.end(), [&](const std::string& name) {
            std::string mark;
            return !(Read("/sys/block/" + name + "/removable", mark) && mark.compare(0, 1, "1") == 0);
        });
    const std::string block = "/sys/block/" + disks[0] + "/";
    const int fd = ::open(("/dev/" + disks[0]).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        unsigned char identify[512];
        const bool answered = ::ioctl(fd, HDIO_GET_IDENTITY, identify) == 0;
        ::close(fd);
        if (answered) {
            serial.assign(reinterpret_cast<const char*>(identify) + 20, 20);
            return true;
        }
    }
    for (const char* place : {"device/serial", "serial", "device/vpd_pg80"})
        if (Read(block + place, serial) && HasText(serial)) return true;
    std::string numbers;
    if (!Read(block + "dev", numbers)) return false;
    numbers.erase(numbers.find_last_not_of("\n") + 1);
    return Read("/run/udev/data/b" + numbers, serial) && serial.find("E:ID_SERIAL_SHORT=") != std::string::npos;
}

// Adapter 0's address as the backend's rules judge it. Per interface: its type (a
// loopback is none), the origin of its address (only a permanent one counts), the
// address (not all zeros), and whether hardware is behind it; the interface index of
// those of the best kind, which orders them. False when there is no adapter.
inline bool AdapterAddress(std::string& address) {
    struct Candidate {
        std::string name, address;
        bool hardware;
        long index;
    };
    std::vector<Candidate> found;
    std::string text;
    for (const std::string& name : List("/sys/class/net/")) {
        const std::string folder = "/sys/class/net/" + name + "/";
        if (!Read(folder + "type", text) || std::atol(text.c_str()) == 772) continue;  // ARPHRD_LOOPBACK
        // No such file (a kernel before 3.2): the address counts as permanent.
        if (Read(folder + "addr_assign_type", text) && std::atol(text.c_str()) != 0) continue;
        if (!Read(folder + "address", text) || text.size() < 17 || text.compare(0, 17, "00:00:00:00:00:00") == 0)
            continue;
        found.push_back({name, text.substr(0, 17), ::access((folder + "device").c_str(), F_OK) == 0, 0});
    }
    const bool anyHardware = std::any_of(found.begin(), found.end(), [](const Candidate& c) { return c.hardware; });
    const Candidate* first = nullptr;
    for (Candidate& c : found) {
        if (c.hardware != anyHardware) continue;
        if (!Read("/sys/class/net/" + c.name + "/ifindex", text)) continue;
        c.index = std::atol(text.c_str());
        if (!first || c.index < first->index) first = &c;
    }
    if (!first) return false;
    address = first->address;
    return true;
}

}  // namespace velmora::bench::raw
