#pragma once
// NetBIOS family on Windows: netapi32's Netbios and the process heap.
#include "platform/NetBios.h"

namespace velmora {

class Win32NetBios final : public INetBios {
public:
    uint8_t Netbios(Ncb& ncb) override;
    void* GetProcessHeap() override;
    void* HeapAlloc(void* heap, uint32_t flags, size_t bytes) override;
    int32_t HeapFree(void* heap, uint32_t flags, void* block) override;
};

}  // namespace velmora
