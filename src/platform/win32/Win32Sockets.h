#pragma once
// Sockets family on Windows: wsock32 (Windows Sockets 1.1) and the application
// event log under the source "Velmora".
#include "platform/Sockets.h"

namespace velmora {

class Win32Sockets final : public ISockets {
public:
    int32_t WSAStartup(uint16_t versionRequested, WsaData& data) override;
    int32_t gethostname(char* name, int32_t length) override;
    std::optional<HostEnt> gethostbyname(const char* name) override;
    int32_t WSACleanup() override;
    void WriteApplicationEvent(uint16_t eventType, std::string_view text) override;
};

}  // namespace velmora
