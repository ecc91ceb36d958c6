#include "platform/linux/LinuxSystemInfo.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/linux/LineStream.h"
#include "text/Text.h"

namespace velmora {
namespace {

// The size of a process's user address space on this architecture.
constexpr uint64_t kUserAddressSpace =
#if defined(__x86_64__)
    (uint64_t{1} << 47) - 4096;
#elif defined(__aarch64__)
    uint64_t{1} << 48;
#elif defined(__i386__) || defined(__arm__)
    uint64_t{3} << 30;
#else
    uint64_t{1} << 47;
#endif

// "Name:   1234 kB" to bytes; false if the line is not the named one.
bool TakeKilobytes(std::string_view line, std::string_view name, uint64_t& bytes) {
    if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != ':') return false;
    line.remove_prefix(name.size() + 1);
    line = TrimView(line, " \t", "");
    uint64_t kilobytes = 0;
    size_t digits = 0;
    constexpr uint64_t kCap = std::numeric_limits<uint64_t>::max() / 1024;
    for (; digits < line.size() && line[digits] >= '0' && line[digits] <= '9'; ++digits)
        kilobytes = kilobytes > (kCap - 9) / 10 ? kCap : kilobytes * 10 + static_cast<uint64_t>(line[digits] - '0');
    if (digits == 0) return false;
    bytes = kilobytes * 1024;
    return true;
}

uintptr_t Capped(uint64_t value) {
    constexpr uintptr_t kMost = std::numeric_limits<uintptr_t>::max();
    return value > kMost ? kMost : static_cast<uintptr_t>(value);
}

}  // namespace

bool ReadMemInfo(const std::string& meminfoPath, MemInfo& info) {
    info = MemInfo();
    bool total = false, available = false;
    uint64_t freeBytes = 0, buffers = 0, cached = 0;
    const bool read = ForEachLine(meminfoPath, [&](std::string_view line, bool) {
        total |= TakeKilobytes(line, "MemTotal", info.total);
        available |= TakeKilobytes(line, "MemAvailable", info.available);
        TakeKilobytes(line, "MemFree", freeBytes);
        TakeKilobytes(line, "Buffers", buffers);
        TakeKilobytes(line, "Cached", cached);
        TakeKilobytes(line, "SwapTotal", info.swapTotal);
        TakeKilobytes(line, "SwapFree", info.swapFree);
        return true;
    });
    // Kernels before 3.14 have no MemAvailable; free, buffers and cache stand in.
    if (!available) info.available = std::min(info.total, freeBytes + buffers + cached);
    return read && total;
}

LinuxSystemInfo::LinuxSystemInfo(std::string rootFolder) : root_(std::move(rootFolder)) {
    if (root_.empty() || root_.back() != '/') root_ += '/';
}

void LinuxSystemInfo::Fill(MemoryStatusEx& status) {
    MemInfo mem;
    if (!ReadMemInfo(root_ + "proc/meminfo", mem)) {
        struct sysinfo si{};
        if (::sysinfo(&si) == 0) {
            const uint64_t unit = si.mem_unit ? si.mem_unit : 1;
            mem = {si.totalram * unit, (si.freeram + si.bufferram) * unit, si.totalswap * unit, si.freeswap * unit};
        }
    }
    status.ullTotalPhys = mem.total;
    status.ullAvailPhys = std::min(mem.available, mem.total);
    status.ullTotalPageFile = mem.total + mem.swapTotal;
    status.ullAvailPageFile = status.ullAvailPhys + std::min(mem.swapFree, mem.swapTotal);
    status.dwMemoryLoad =
        mem.total ? static_cast<uint32_t>((mem.total - status.ullAvailPhys) * 100 / mem.total) : 0;

    // The process's own address-space limit where one is set, else the whole user space.
    uint64_t virtualTotal = kUserAddressSpace;
    struct rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        virtualTotal = std::min<uint64_t>(virtualTotal, limit.rlim_cur);
    uint64_t used = 0;
    ForEachLine(root_ + "proc/self/status", [&](std::string_view line, bool) { return !TakeKilobytes(line, "VmSize", used); });
    status.ullTotalVirtual = virtualTotal;
    status.ullAvailVirtual = virtualTotal - std::min(used, virtualTotal);
    status.ullAvailExtendedVirtual = 0;
}

int32_t LinuxSystemInfo::GlobalMemoryStatusEx(MemoryStatusEx& status) {
    if (status.dwLength != sizeof(MemoryStatusEx)) return 0;
    Fill(status);
    return 1;
}

void LinuxSystemInfo::GlobalMemoryStatus(MemoryStatus& status) {
    // A 32-bit process's record cannot hold more than 4 GB; such figures read 0xFFFFFFFF.
    MemoryStatusEx wide{};
    Fill(wide);
    status.dwLength = sizeof(MemoryStatus);
    status.dwMemoryLoad = wide.dwMemoryLoad;
    status.dwTotalPhys = Capped(wide.ullTotalPhys);
    status.dwAvailPhys = Capped(wide.ullAvailPhys);
    status.dwTotalPageFile = Capped(wide.ullTotalPageFile);
    status.dwAvailPageFile = Capped(wide.ullAvailPageFile);
    status.dwTotalVirtual = Capped(wide.ullTotalVirtual);
    status.dwAvailVirtual = Capped(wide.ullAvailVirtual);
}

int32_t LinuxSystemInfo::GetComputerNameA(char* buffer, uint32_t& size) {
    // The host name up to its first dot, as `hostname -s` shows it.
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return 0;
    const size_t length = std::strcspn(host, ".");
    if (buffer == nullptr || length + 1 > size) {
        size = static_cast<uint32_t>(length + 1);
        return 0;
    }
    std::memcpy(buffer, host, length);
    buffer[length] = '\0';
    size = static_cast<uint32_t>(length);
    return 1;
}

}  // namespace velmora
