#pragma once
// NetBIOS family on Linux. Adapter number n is the n-th adapter of /sys/class/net in
// the order of NetInterfaces.h (cards with a permanent address first). Only adapter
// status of the local adapter ("*") is answered; the process heap is the C library's.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Mutex.h"
#include "platform/NetBios.h"

namespace velmora {

class LinuxNetBios final : public INetBios {
public:
    // `sysClassNet` is the folder listing the interfaces; tests point it at a fake tree.
    explicit LinuxNetBios(std::string sysClassNet = "/sys/class/net") : root_(std::move(sysClassNet)) {}

    uint8_t Netbios(Ncb& ncb) override;
    void* GetProcessHeap() override { return this; }
    void* HeapAlloc(void* heap, uint32_t flags, size_t bytes) override;
    int32_t HeapFree(void* heap, uint32_t flags, void* block) override;

    // The adapters' addresses in adapter-number order: read afresh, once in a public
    // call (a reset and a status request of one call see the same adapters), and at
    // every request made outside any call.
    std::vector<std::array<uint8_t, 6>> Adapters() const;

private:
    uint8_t AdapterStatusOf(Ncb& ncb) const;

    std::string root_;
    mutable Mutex mutex_;
    mutable uint64_t readInCall_ = 0;
    mutable std::vector<std::array<uint8_t, 6>> adapters_;
};

}  // namespace velmora
