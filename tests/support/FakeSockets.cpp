#include "FakeSockets.h"

#include <array>
#include <cstring>

#include "base/RuntimeError.h"

namespace velmora::testing {

void FakeSockets::AddHost(const std::string& name, std::vector<std::array<uint8_t, 4>> addresses) {
    HostEnt entry;
    entry.h_name = name;
    entry.h_addrtype = 2;
    entry.h_length = 4;
    for (const auto& a : addresses) entry.h_addr_list.emplace_back(reinterpret_cast<const char*>(a.data()), 4);
    hosts[name] = entry;
}

int32_t FakeSockets::WSAStartup(uint16_t versionRequested, WsaData& data) {
    requestedVersions.push_back(versionRequested);
    if (startupResult != 0) return startupResult;
    data.wVersion = grantedVersion;
    data.wHighVersion = 0x0202;
    data.iMaxSockets = maxSockets;
    return 0;
}

int32_t FakeSockets::gethostname(char* name, int32_t length) {
    hostNameLengths.push_back(length);
    if (!hostName || static_cast<int32_t>(hostName->size()) + 1 > length) return kSocketError;
    std::memcpy(name, hostName->c_str(), hostName->size() + 1);
    return 0;
}

std::optional<HostEnt> FakeSockets::gethostbyname(const char* name) {
    lookedUp.push_back(name);
    if (lookupRaises) throw RuntimeError(Err::OutOfMemory);
    const auto it = hosts.find(name);
    if (it == hosts.end()) return std::nullopt;
    return it->second;
}

int32_t FakeSockets::WSACleanup() {
    ++cleanups;
    return cleanupResult;
}

void FakeSockets::WriteApplicationEvent(uint16_t eventType, std::string_view text) {
    events.emplace_back(eventType, std::string(text));
}

}  // namespace velmora::testing
