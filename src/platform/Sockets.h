#pragma once
// Sockets family: the Windows Sockets 1.1 calls that resolve this machine's name
// (WSAStartup, gethostname, gethostbyname, WSACleanup), and the application event log.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

inline constexpr int32_t kSocketError = -1;  // SOCKET_ERROR
inline constexpr int32_t kWsaVerNotSupported = 10092;
inline constexpr int32_t kWsaNotInitialised = 10093;

// WSADATA: 400 bytes in a 32-bit process; in a 64-bit one the counts and the
// pointer come before the texts, 408 bytes.
struct WsaData {
    uint16_t wVersion = 0;      // granted: low byte major, high byte minor
    uint16_t wHighVersion = 0;  // the highest the service offers
#if UINTPTR_MAX > 0xFFFFFFFFu
    uint16_t iMaxSockets = 0;
    uint16_t iMaxUdpDg = 0;
    char* lpVendorInfo = nullptr;
    char szDescription[257] = {};
    char szSystemStatus[129] = {};
#else
    char szDescription[257] = {};
    char szSystemStatus[129] = {};
    uint16_t iMaxSockets = 0;
    uint16_t iMaxUdpDg = 0;
    char* lpVendorInfo = nullptr;
#endif
};
static_assert(sizeof(WsaData) == (sizeof(void*) == 8 ? 408 : 400));
static_assert(offsetof(WsaData, lpVendorInfo) == (sizeof(void*) == 8 ? 8 : 396));

// HOSTENT as the workers read it, copied out of the service's own storage. Every
// address in h_addr_list is a block of h_length bytes, in the entry's order.
struct HostEnt {
    std::string h_name;
    int16_t h_addrtype = 0;
    int16_t h_length = 0;
    std::vector<std::string> h_addr_list;
};

inline constexpr uint16_t kEventLogErrorType = 1;  // EVENTLOG_ERROR_TYPE
inline constexpr uint16_t kEventLogWarningType = 2;
inline constexpr uint16_t kEventLogInformationType = 4;

class ISockets {
public:
    virtual ~ISockets() = default;
    // 0 on success, with `data` filled in; otherwise a WSA error code.
    virtual int32_t WSAStartup(uint16_t versionRequested, WsaData& data) = 0;
    // Writes the host name and a NUL into `name` of `length` bytes: 0, or
    // kSocketError when the service is not started or the name does not fit.
    virtual int32_t gethostname(char* name, int32_t length) = 0;
    // The host entry of `name` (NUL-terminated; empty means this machine), or
    // nothing when the name does not resolve or the service is not started.
    virtual std::optional<HostEnt> gethostbyname(const char* name) = 0;
    // 0, or kSocketError when there is no start-up left to undo.
    virtual int32_t WSACleanup() = 0;

    // Writes one entry of `eventType` (kEventLogErrorType...) to the application
    // event log. Nothing is reported back.
    virtual void WriteApplicationEvent(uint16_t eventType, std::string_view text) = 0;
};

}  // namespace velmora
