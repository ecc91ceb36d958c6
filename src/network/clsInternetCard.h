#pragma once
// Worker for the network questions: the adapter's hardware address through NetBIOS
// and a host's first IP address through Windows Sockets. Lives for one public call.
#include <cstdint>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

class clsInternetCard {
public:
    explicit clsInternetCard(Platform& platform) : platform_(platform) {}

    // Twelve upper-case hex digits of adapter `LanaNumber`'s address; zeros when
    // NetBIOS does not answer; empty on any failure (a number outside 0..255 included).
    String EthernetAddress(const int32_t& LanaNumber);
    // The first address of `sHost` (trimmed; empty means this machine) as dotted
    // decimal text, or empty. Has no error trap of its own.
    String GetIPAddress(const String& sHost = String());
    int32_t HiByte(int16_t wParam);
    int32_t LoByte(int16_t wParam);

private:
    bool SocketsInitialize();
    void SocketsCleanup();

    Platform& platform_;
};

}  // namespace velmora
