#include "platform/linux/NetInterfaces.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr long kArpLoopback = 772;  // ARPHRD_LOOPBACK
constexpr long kAddrPermanent = 0;  // NET_ADDR_PERM; random, stolen and set addresses are others
constexpr size_t kMaxInterfaces = 4096;

// A decimal number alone on a file's first line.
std::optional<long> ParseNumber(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || (*end != '\n' && *end != '\0')) return std::nullopt;
    return value;
}

std::optional<long> ReadNumber(const std::string& path) {
    const auto text = ReadSysFile(path, 64);
    return text ? ParseNumber(*text) : std::nullopt;
}

// "aa:bb:cc:dd:ee:ff" (one line) as six bytes; nothing for any other length or form.
std::optional<HardwareAddress> ParseMac(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    HardwareAddress bytes{};
    if (text.size() != 17) return std::nullopt;
    for (size_t i = 0; i < 6; ++i) {
        const char* part = text.c_str() + i * 3;
        const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if (!hex(part[0]) || !hex(part[1]) || (i < 5 && part[2] != ':')) return std::nullopt;
        bytes[i] = static_cast<uint8_t>(std::strtoul(std::string(part, 2).c_str(), nullptr, 16));
    }
    return bytes;
}

enum Rank { kCard = 0, kOtherPermanent = 1, kNoAdapter = 2 };

// The permanent address of the interface in `folder`, when it can be an adapter at all.
// Each file is read only while the ones before it leave the question open.
std::optional<HardwareAddress> AdapterAddress(const std::string& folder) {
    const auto type = ReadNumber(folder + "type");
    if (!type || *type == kArpLoopback) return std::nullopt;
    // A kernel older than addr_assign_type (3.2) cannot tell; its addresses count as
    // permanent. A file that says something else than a number counts as not permanent.
    if (const auto assign = ReadSysFile(folder + "addr_assign_type", 64); assign && ParseNumber(*assign) != kAddrPermanent)
        return std::nullopt;
    const auto address = ParseMac(ReadSysFile(folder + "address", 128).value_or(""));
    if (!address || *address == HardwareAddress{}) return std::nullopt;
    return address;
}

// An interface of `folder` and its rank; nothing when it has no readable ifindex, or
// when only adapters are asked for and it is none.
std::optional<std::pair<Rank, NetInterface>> ReadInterface(const std::string& folder, const std::string& name,
                                                           bool adaptersOnly) {
    std::optional<long> index;
    if (!adaptersOnly && !(index = ReadNumber(folder + "ifindex"))) return std::nullopt;
    const auto address = AdapterAddress(folder);
    if (!address && adaptersOnly) return std::nullopt;
    if (adaptersOnly && !(index = ReadNumber(folder + "ifindex"))) return std::nullopt;
    NetInterface found{name, *index};
    if (!address) return std::make_pair(kNoAdapter, found);
    found.adapter = true;
    found.address = *address;
    const bool hardware = ::access((folder + "device").c_str(), F_OK) == 0;
    return std::make_pair(hardware ? kCard : kOtherPermanent, found);
}

}  // namespace

std::vector<NetInterface> ReadNetInterfaces(const std::string& sysClassNet, bool adaptersOnly) {
    std::vector<std::pair<Rank, NetInterface>> found;
    for (const std::string& name : FolderNames(sysClassNet, kMaxInterfaces))
        if (auto one = ReadInterface(sysClassNet + "/" + name + "/", name, adaptersOnly)) found.push_back(std::move(*one));
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first, a.second.index) < std::tie(b.first, b.second.index);
    });
    std::vector<NetInterface> ordered;
    for (auto& [rank, interface] : found) ordered.push_back(std::move(interface));
    return ordered;
}

std::vector<Ipv4Address> OwnAddresses(const std::vector<NetInterface>& order, const std::vector<InterfaceAddress>& found) {
    const auto place = [&](const std::string& name) {
        const auto at = std::find_if(order.begin(), order.end(), [&](const NetInterface& i) { return i.name == name; });
        return at - order.begin();
    };
    std::vector<std::pair<ptrdiff_t, Ipv4Address>> kept;
    for (const auto& a : found)
        if (a.up && !a.loopback) kept.emplace_back(place(a.interface), a.address);
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Ipv4Address> addresses;
    for (const auto& [at, address] : kept) addresses.push_back(address);
    return addresses;
}

}  // namespace velmora
