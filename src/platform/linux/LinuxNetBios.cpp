#include "platform/linux/LinuxNetBios.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr long kArpLoopback = 772;  // ARPHRD_LOOPBACK
constexpr uint8_t kAdapterTypeEthernet = 0xFE;
constexpr uint8_t kNetbiosRevision = 3;
constexpr size_t kMaxInterfaces = 4096;

// A decimal number alone on the file's first line.
std::optional<long> ReadNumber(const std::string& path) {
    const auto text = ReadSysFile(path, 64);
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (end == text->c_str() || (*end != '\n' && *end != '\0')) return std::nullopt;
    return value;
}

// "aa:bb:cc:dd:ee:ff" (one line) as six bytes; nothing for any other length or form.
std::optional<std::array<uint8_t, 6>> ParseMac(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    std::array<uint8_t, 6> bytes{};
    if (text.size() != 17) return std::nullopt;
    for (size_t i = 0; i < 6; ++i) {
        const char* part = text.c_str() + i * 3;
        const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if (!hex(part[0]) || !hex(part[1]) || (i < 5 && part[2] != ':'))
            return std::nullopt;
        bytes[i] = static_cast<uint8_t>(std::strtoul(std::string(part, 2).c_str(), nullptr, 16));
    }
    return bytes;
}

struct Interface {
    long index;
    std::array<uint8_t, 6> address;
};

}  // namespace

std::vector<std::array<uint8_t, 6>> LinuxNetBios::Adapters() const {
    std::vector<Interface> found;
    DIR* dir = ::opendir(root_.c_str());
    if (!dir) return {};
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || found.size() >= kMaxInterfaces) continue;
        const std::string folder = root_ + "/" + name + "/";
        const auto index = ReadNumber(folder + "ifindex");
        const auto type = ReadNumber(folder + "type");
        const auto text = ReadSysFile(folder + "address", 128);
        if (!index || !type || *type == kArpLoopback || !text) continue;
        const auto address = ParseMac(*text);
        if (!address || *address == std::array<uint8_t, 6>{}) continue;
        found.push_back({*index, *address});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const Interface& a, const Interface& b) { return a.index < b.index; });
    std::vector<std::array<uint8_t, 6>> adapters;
    for (const auto& i : found) adapters.push_back(i.address);
    return adapters;
}

uint8_t LinuxNetBios::AdapterStatusOf(Ncb& ncb) const {
    // Only this machine's own adapter can be asked; a remote name never answers.
    if (ncb.ncb_callname[0] != '*') return kNrcCmdTmo;
    const auto adapters = Adapters();
    if (ncb.ncb_lana_num >= adapters.size()) return kNrcBridge;
    if (!ncb.ncb_buffer || ncb.ncb_length == 0) return kNrcBufLen;
    AdapterStatus status{};
    std::memcpy(status.adapter_address, adapters[ncb.ncb_lana_num].data(), 6);
    status.rev_major = kNetbiosRevision;
    status.adapter_type = kAdapterTypeEthernet;
    const size_t copied = std::min<size_t>(ncb.ncb_length, sizeof status);
    std::memcpy(ncb.ncb_buffer, &status, copied);
    ncb.ncb_length = static_cast<uint16_t>(copied);
    return copied < sizeof status ? kNrcIncomp : kNrcGoodRet;
}

uint8_t LinuxNetBios::Netbios(Ncb& ncb) {
    uint8_t result = kNrcIllCmd;
    if ((ncb.ncb_command & kNcbAsynch) || ncb.ncb_post || ncb.ncb_event)
        result = kNrcIllCmd;
    else if (ncb.ncb_command == kNcbReset)
        result = ncb.ncb_lana_num < Adapters().size() ? kNrcGoodRet : kNrcBridge;
    else if (ncb.ncb_command == kNcbAStat)
        result = AdapterStatusOf(ncb);
    ncb.ncb_retcode = ncb.ncb_cmd_cplt = result;
    return result;
}

void* LinuxNetBios::HeapAlloc(void* heap, uint32_t flags, size_t bytes) {
    if (heap != this) return nullptr;
    return (flags & kHeapZeroMemory) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
}

int32_t LinuxNetBios::HeapFree(void* heap, uint32_t, void* block) {
    if (heap != this) return 0;
    std::free(block);
    return 1;
}

}  // namespace velmora
