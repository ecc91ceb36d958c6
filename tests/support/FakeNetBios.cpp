#include "FakeNetBios.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace velmora::testing {

uint8_t FakeNetBios::Netbios(Ncb& ncb) {
    submitted.push_back(ncb);
    replyAreas.emplace_back(ncb.ncb_buffer, ncb.ncb_buffer ? ncb.ncb_buffer + ncb.ncb_length : ncb.ncb_buffer);
    uint8_t result = kNrcIllCmd;
    const auto adapter = adapters.find(ncb.ncb_lana_num);
    if (ncb.ncb_command == kNcbReset) {
        result = adapter != adapters.end() ? kNrcGoodRet : kNrcBridge;
    } else if (ncb.ncb_command == kNcbAStat) {
        if (adapter == adapters.end()) {
            result = kNrcBridge;
        } else if (!ncb.ncb_buffer) {
            result = kNrcBufLen;
        } else {
            AdapterStatus status{};
            std::memcpy(status.adapter_address, adapter->second.data(), 6);
            const size_t copied = std::min<size_t>(ncb.ncb_length, sizeof status);
            std::memcpy(ncb.ncb_buffer, &status, copied);
            result = copied < sizeof status ? kNrcIncomp : kNrcGoodRet;
        }
    }
    ncb.ncb_retcode = ncb.ncb_cmd_cplt = result;
    return result;
}

void* FakeNetBios::HeapAlloc(void* heap, uint32_t flags, size_t bytes) {
    if (heap != this || heapExhausted) return nullptr;
    ++allocations;
    void* block = std::malloc(bytes ? bytes : 1);
    // Not zeroed unless asked, so a missing flag shows in the answer.
    std::memset(block, (flags & kHeapZeroMemory) ? 0x00 : 0xA5, bytes);
    return block;
}

int32_t FakeNetBios::HeapFree(void* heap, uint32_t, void* block) {
    if (heap != this || !block) return 0;
    ++frees;
    std::free(block);
    return 1;
}

}  // namespace velmora::testing
