#pragma once
// Scripted Windows Sockets: the start-up record it grants, the host name, the host
// entries by name, the clean-up result; and a record of what was asked.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Sockets.h"

namespace velmora::testing {

class FakeSockets final : public ISockets {
public:
    int32_t startupResult = 0;
    uint16_t grantedVersion = 0x0101;
    uint16_t maxSockets = 32767;
    std::optional<std::string> hostName = "fakehost";  // nullopt: gethostname fails
    std::map<std::string, HostEnt> hosts;              // by the exact name asked
    int32_t cleanupResult = 0;
    bool lookupRaises = false;  // gethostbyname throws a run-time error (Out of memory)

    std::vector<uint16_t> requestedVersions;
    std::vector<int32_t> hostNameLengths;
    std::vector<std::string> lookedUp;
    int cleanups = 0;
    std::vector<std::pair<uint16_t, std::string>> events;

    // An IPv4 entry listing `addresses`, each given as its four bytes.
    void AddHost(const std::string& name, std::vector<std::array<uint8_t, 4>> addresses);

    int32_t WSAStartup(uint16_t versionRequested, WsaData& data) override;
    int32_t gethostname(char* name, int32_t length) override;
    std::optional<HostEnt> gethostbyname(const char* name) override;
    int32_t WSACleanup() override;
    void WriteApplicationEvent(uint16_t eventType, std::string_view text) override;
};

}  // namespace velmora::testing
