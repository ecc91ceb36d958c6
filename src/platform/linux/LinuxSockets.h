#pragma once
// Sockets family on Linux: the start-ups are counted as Windows Sockets counts them,
// names resolve through the system resolver (getaddrinfo, IPv4 only, in its order)
// and the application event log is syslog.
#include <atomic>

#include "platform/Sockets.h"

namespace velmora {

class LinuxSockets final : public ISockets {
public:
    int32_t WSAStartup(uint16_t versionRequested, WsaData& data) override;
    int32_t gethostname(char* name, int32_t length) override;
    std::optional<HostEnt> gethostbyname(const char* name) override;
    int32_t WSACleanup() override;
    void WriteApplicationEvent(uint16_t eventType, std::string_view text) override;

private:
    std::atomic<int> startups_{0};
};

}  // namespace velmora
