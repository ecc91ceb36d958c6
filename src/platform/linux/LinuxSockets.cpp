#include "platform/linux/LinuxSockets.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/linux/NetInterfaces.h"
#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr uint16_t kHighestVersion = 0x0202;
constexpr uint16_t kMaxSocketsV1 = 32767;  // what Windows Sockets tells a 1.x caller
constexpr uint16_t kMaxUdpDgV1 = 65467;
constexpr size_t kMaxAddresses = 1024;

uint8_t Major(uint16_t version) { return static_cast<uint8_t>(version & 0xFF); }
uint8_t Minor(uint16_t version) { return static_cast<uint8_t>(version >> 8); }

bool Above(uint16_t a, uint16_t b) { return Major(a) != Major(b) ? Major(a) > Major(b) : Minor(a) > Minor(b); }

std::string LocalHostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
    return name;
}

// The resolver's entry for `host`: its IPv4 addresses, in the resolver's order.
std::optional<HostEnt> Resolve(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one result per address, not one per socket type
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
    HostEnt entry;
    entry.h_name = found->ai_canonname ? found->ai_canonname : host;
    entry.h_addrtype = AF_INET;
    entry.h_length = sizeof(in_addr);
    for (const addrinfo* a = found; a && entry.h_addr_list.size() < kMaxAddresses; a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        entry.h_addr_list.emplace_back(reinterpret_cast<const char*>(&in->sin_addr), sizeof(in_addr));
    }
    return entry;
}

// The empty name, the host name, or the host name with or without its domain.
bool IsOwnName(std::string_view name, const std::string& host) {
    const std::string_view shortHost = std::string_view(host).substr(0, host.find('.'));
    if (name.empty() || SameIgnoringAsciiCase(name, host) || SameIgnoringAsciiCase(name, shortHost)) return true;
    if (!SameIgnoringAsciiCase(name.substr(0, name.find('.')), shortHost)) return false;
    const auto full = Resolve(host);  // the domain is the resolver's (hostname -f)
    return full && SameIgnoringAsciiCase(name, full->h_name);
}

std::vector<InterfaceAddress> InterfaceAddresses() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);
    std::vector<InterfaceAddress> found;
    for (const ifaddrs* a = list; a && found.size() < kMaxAddresses; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_name) continue;
        InterfaceAddress one{a->ifa_name, (a->ifa_flags & IFF_UP) != 0, (a->ifa_flags & IFF_LOOPBACK) != 0};
        std::memcpy(one.address.data(), &reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr, 4);
        found.push_back(std::move(one));
    }
    return found;
}

}  // namespace

std::optional<HostEnt> LinuxSockets::OwnHostEntry(const std::string& host) const {
    const auto addresses = OwnAddresses(ReadNetInterfaces(sysClassNet_), InterfaceAddresses());
    if (addresses.empty()) return std::nullopt;
    HostEnt entry;
    entry.h_name = host;
    entry.h_addrtype = AF_INET;
    entry.h_length = sizeof(in_addr);
    for (const auto& a : addresses) entry.h_addr_list.emplace_back(reinterpret_cast<const char*>(a.data()), a.size());
    return entry;
}

int32_t LinuxSockets::WSAStartup(uint16_t versionRequested, WsaData& data) {
    if (Major(versionRequested) == 0) return kWsaVerNotSupported;
    data = WsaData{};
    data.wVersion = Above(versionRequested, kHighestVersion) ? kHighestVersion : versionRequested;
    data.wHighVersion = kHighestVersion;
    std::strcpy(data.szDescription, "Linux sockets");
    std::strcpy(data.szSystemStatus, "Running");
    data.iMaxSockets = Major(data.wVersion) == 1 ? kMaxSocketsV1 : 0;
    data.iMaxUdpDg = Major(data.wVersion) == 1 ? kMaxUdpDgV1 : 0;
    ++startups_;
    return 0;
}

int32_t LinuxSockets::gethostname(char* name, int32_t length) {
    if (startups_ <= 0 || !name || length <= 0) return kSocketError;
    const std::string local = LocalHostName();
    if (local.empty() || local.size() + 1 > static_cast<size_t>(length)) return kSocketError;
    std::memcpy(name, local.c_str(), local.size() + 1);
    return 0;
}

std::optional<HostEnt> LinuxSockets::gethostbyname(const char* name) {
    if (startups_ <= 0 || !name) return std::nullopt;
    const std::string host = LocalHostName();
    // As Windows Sockets does, this machine's own name answers its own interfaces'
    // addresses (not what /etc/hosts says of it); only without any, the resolver's.
    if (IsOwnName(name, host))
        if (auto own = OwnHostEntry(host)) return own;
    return Resolve(*name ? std::string(name) : host);
}

int32_t LinuxSockets::WSACleanup() {
    int current = startups_.load();
    do {
        if (current <= 0) return kSocketError;
    } while (!startups_.compare_exchange_weak(current, current - 1));
    return 0;
}

void LinuxSockets::WriteApplicationEvent(uint16_t eventType, std::string_view text) {
    const int level = eventType == kEventLogErrorType     ? LOG_ERR
                      : eventType == kEventLogWarningType ? LOG_WARNING
                                                          : LOG_INFO;
    // No openlog: the host's own syslog identity is left as the host set it.
    ::syslog(LOG_USER | level, "%.*s", static_cast<int>(text.size()), text.data());
}

}  // namespace velmora
