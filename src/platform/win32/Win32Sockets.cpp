#include "platform/win32/Win32Sockets.h"

#include <winsock.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace velmora {
namespace {

constexpr size_t kMaxAddresses = 1024;
constexpr char kEventSource[] = "Velmora";

}  // namespace

static_assert(sizeof(WsaData) == sizeof(WSADATA));
static_assert(offsetof(WsaData, szSystemStatus) == offsetof(WSADATA, szSystemStatus));
static_assert(offsetof(WsaData, iMaxSockets) == offsetof(WSADATA, iMaxSockets));
static_assert(offsetof(WsaData, lpVendorInfo) == offsetof(WSADATA, lpVendorInfo));

int32_t Win32Sockets::WSAStartup(uint16_t versionRequested, WsaData& data) {
    WSADATA native{};
    const int result = ::WSAStartup(versionRequested, &native);
    std::memcpy(static_cast<void*>(&data), &native, sizeof native);
    return result;
}

int32_t Win32Sockets::gethostname(char* name, int32_t length) { return ::gethostname(name, length); }

std::optional<HostEnt> Win32Sockets::gethostbyname(const char* name) {
    // The entry lives in the service's per-thread storage until the next call: copy it now.
    const hostent* found = ::gethostbyname(name);
    if (!found) return std::nullopt;
    HostEnt entry;
    entry.h_name = found->h_name ? found->h_name : "";
    entry.h_addrtype = found->h_addrtype;
    entry.h_length = found->h_length;
    const size_t length = found->h_length > 0 ? static_cast<size_t>(found->h_length) : 0;
    for (size_t i = 0; found->h_addr_list && found->h_addr_list[i] && i < kMaxAddresses; ++i)
        entry.h_addr_list.emplace_back(found->h_addr_list[i], length);
    return entry;
}

int32_t Win32Sockets::WSACleanup() { return ::WSACleanup(); }

void Win32Sockets::WriteApplicationEvent(uint16_t eventType, std::string_view text) {
    HANDLE source = ::RegisterEventSourceA(nullptr, kEventSource);
    if (!source) return;
    const std::string message(text);
    const char* strings[] = {message.c_str()};
    ::ReportEventA(source, eventType, 0, 0, nullptr, 1, 0, strings, nullptr);
    ::DeregisterEventSource(source);
}

}  // namespace velmora
