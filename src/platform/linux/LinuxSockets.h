#pragma once
// Sockets family on Linux: the start-ups are counted as Windows Sockets counts them;
// this machine's own name answers its interfaces' addresses, as Windows Sockets does,
// other names resolve through the system resolver (getaddrinfo, IPv4 only, in its
// order); the application event log is syslog.
#include <atomic>
#include <string>

#include "platform/Sockets.h"

namespace velmora {

class LinuxSockets final : public ISockets {
public:
    // `sysClassNet` orders the interfaces (tests point it at a fake tree).
    explicit LinuxSockets(std::string sysClassNet = "/sys/class/net") : sysClassNet_(std::move(sysClassNet)) {}

    int32_t WSAStartup(uint16_t versionRequested, WsaData& data) override;
    int32_t gethostname(char* name, int32_t length) override;
    std::optional<HostEnt> gethostbyname(const char* name) override;
    int32_t WSACleanup() override;
    void WriteApplicationEvent(uint16_t eventType, std::string_view text) override;

private:
    // The IPv4 addresses of this machine's own interfaces that are up, loopback left out.
    std::optional<HostEnt> OwnHostEntry(const std::string& host) const;

    std::string sysClassNet_;
    std::atomic<int> startups_{0};
};

}  // namespace velmora
