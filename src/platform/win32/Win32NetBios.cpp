#include "platform/win32/Win32NetBios.h"

#include <windows.h>
#include <nb30.h>

#include <cstddef>
#include <cstring>

namespace velmora {

static_assert(sizeof(Ncb) == sizeof(NCB));
static_assert(offsetof(Ncb, ncb_buffer) == offsetof(NCB, ncb_buffer));
static_assert(offsetof(Ncb, ncb_length) == offsetof(NCB, ncb_length));
static_assert(offsetof(Ncb, ncb_callname) == offsetof(NCB, ncb_callname));
static_assert(offsetof(Ncb, ncb_post) == offsetof(NCB, ncb_post));
static_assert(offsetof(Ncb, ncb_lana_num) == offsetof(NCB, ncb_lana_num));
static_assert(offsetof(Ncb, ncb_event) == offsetof(NCB, ncb_event));
static_assert(sizeof(AdapterStatus) == sizeof(ADAPTER_STATUS));
static_assert(offsetof(AdapterStatus, name_count) == offsetof(ADAPTER_STATUS, name_count));

uint8_t Win32NetBios::Netbios(Ncb& ncb) {
    // The call works on a copy, so a command finishing later could only write into
    // a copy that no longer exists: asynchronous submission is refused.
    if ((ncb.ncb_command & kNcbAsynch) || ncb.ncb_post || ncb.ncb_event) {
        ncb.ncb_retcode = ncb.ncb_cmd_cplt = kNrcIllCmd;
        return kNrcIllCmd;
    }
    NCB native;
    std::memcpy(&native, &ncb, sizeof native);
    const UCHAR result = ::Netbios(&native);
    std::memcpy(static_cast<void*>(&ncb), &native, sizeof native);
    return result;
}

void* Win32NetBios::GetProcessHeap() { return ::GetProcessHeap(); }

void* Win32NetBios::HeapAlloc(void* heap, uint32_t flags, size_t bytes) {
    return ::HeapAlloc(static_cast<HANDLE>(heap), flags, bytes);
}

int32_t Win32NetBios::HeapFree(void* heap, uint32_t flags, void* block) {
    return ::HeapFree(static_cast<HANDLE>(heap), flags, block);
}

}  // namespace velmora
