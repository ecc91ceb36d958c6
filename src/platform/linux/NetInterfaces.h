#pragma once
// The network interfaces of /sys/class/net in the order this machine numbers its
// adapters: first the cards with hardware behind them and a permanent address, then
// the other interfaces with a permanent address, then the rest, each by ifindex. A
// random or generated address, a loopback or an all-zero address never makes an adapter,
// so adapter 0 stays the same card from one boot to the next.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

using HardwareAddress = std::array<uint8_t, 6>;

struct NetInterface {
    std::string name;
    long index = 0;
    bool adapter = false;      // counts as a NetBIOS adapter
    HardwareAddress address{};  // meaningful for adapters
};

// Every interface with a readable ifindex, adapters first, or the adapters alone;
// `sysClassNet` is the folder listing them (tests point it at a fake tree).
std::vector<NetInterface> ReadNetInterfaces(const std::string& sysClassNet, bool adaptersOnly = false);

using Ipv4Address = std::array<uint8_t, 4>;

// One IPv4 address of an interface, as getifaddrs lists it.
struct InterfaceAddress {
    std::string interface;
    bool up = false, loopback = false;
    Ipv4Address address{};
};

// The addresses of interfaces that are up and not loopbacks, in the order of `order`
// (interfaces it does not list come last); one interface's addresses keep their order.
std::vector<Ipv4Address> OwnAddresses(const std::vector<NetInterface>& order, const std::vector<InterfaceAddress>& found);

}  // namespace velmora
