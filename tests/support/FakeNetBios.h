#pragma once
// Scripted NetBIOS: adapters by number, a heap that can run dry, and every NCB as
// it was submitted.
#include <array>
#include <map>
#include <vector>

#include "platform/NetBios.h"

namespace velmora::testing {

class FakeNetBios final : public INetBios {
public:
    // Adapter status answers for these numbers; any other number fails (NRC_BRIDGE).
    std::map<uint8_t, std::array<uint8_t, 6>> adapters;
    bool heapExhausted = false;

    std::vector<Ncb> submitted;        // copies, as handed over
    std::vector<std::vector<uint8_t>> replyAreas;  // the reply area's bytes as handed over
    int allocations = 0;
    int frees = 0;

    uint8_t Netbios(Ncb& ncb) override;
    void* GetProcessHeap() override { return this; }
    void* HeapAlloc(void* heap, uint32_t flags, size_t bytes) override;
    int32_t HeapFree(void* heap, uint32_t flags, void* block) override;
};

}  // namespace velmora::testing
