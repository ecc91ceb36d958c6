#include "platform/linux/LinuxNetBios.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/linux/CallScope.h"
#include "platform/linux/NetInterfaces.h"

namespace velmora {
namespace {

constexpr uint8_t kAdapterTypeEthernet = 0xFE;
constexpr uint8_t kNetbiosRevision = 3;

}  // namespace

std::vector<std::array<uint8_t, 6>> LinuxNetBios::Adapters() const {
    const uint64_t call = CurrentCall();
    if (call != 0) {
        std::lock_guard lock(mutex_);
        if (readInCall_ == call) return adapters_;
    }
    std::vector<std::array<uint8_t, 6>> adapters;
    for (const auto& interface : ReadNetInterfaces(root_, true)) adapters.push_back(interface.address);
    if (call != 0) {
        std::lock_guard lock(mutex_);
        readInCall_ = call;
        adapters_ = adapters;
    }
    return adapters;
}

uint8_t LinuxNetBios::AdapterStatusOf(Ncb& ncb) const {
    // Only this machine's own adapter can be asked; a remote name never answers.
    if (ncb.ncb_callname[0] != '*') return kNrcCmdTmo;
    const auto adapters = Adapters();
    if (ncb.ncb_lana_num >= adapters.size()) return kNrcBridge;
    if (!ncb.ncb_buffer || ncb.ncb_length == 0) return kNrcBufLen;
    AdapterStatus status{};
    std::memcpy(status.adapter_address, adapters[ncb.ncb_lana_num].data(), 6);
    status.rev_major = kNetbiosRevision;
    status.adapter_type = kAdapterTypeEthernet;
    const size_t copied = std::min<size_t>(ncb.ncb_length, sizeof status);
    std::memcpy(ncb.ncb_buffer, &status, copied);
    ncb.ncb_length = static_cast<uint16_t>(copied);
    return copied < sizeof status ? kNrcIncomp : kNrcGoodRet;
}

uint8_t LinuxNetBios::Netbios(Ncb& ncb) {
    uint8_t result = kNrcIllCmd;
    if ((ncb.ncb_command & kNcbAsynch) || ncb.ncb_post || ncb.ncb_event)
        result = kNrcIllCmd;
    else if (ncb.ncb_command == kNcbReset)
        result = ncb.ncb_lana_num < Adapters().size() ? kNrcGoodRet : kNrcBridge;
    else if (ncb.ncb_command == kNcbAStat)
        result = AdapterStatusOf(ncb);
    ncb.ncb_retcode = ncb.ncb_cmd_cplt = result;
    return result;
}

void* LinuxNetBios::HeapAlloc(void* heap, uint32_t flags, size_t bytes) {
    if (heap != this) return nullptr;
    return (flags & kHeapZeroMemory) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
}

int32_t LinuxNetBios::HeapFree(void* heap, uint32_t, void* block) {
    if (heap != this) return 0;
    std::free(block);
    return 1;
}

}  // namespace velmora
