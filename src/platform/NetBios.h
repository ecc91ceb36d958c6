#pragma once
// NetBIOS family: Netbios with the network control block, and the process heap
// that holds its reply areas. The records keep the Win32 layout.
#include <cstddef>
#include <cstdint>

namespace velmora {

inline constexpr uint8_t kNcbReset = 0x32;  // NCBRESET
inline constexpr uint8_t kNcbAStat = 0x33;  // NCBASTAT, adapter status
inline constexpr uint8_t kNcbAsynch = 0x80;  // ASYNCH bit of a command

// NetBIOS return codes (NRC_*).
inline constexpr uint8_t kNrcGoodRet = 0x00;
inline constexpr uint8_t kNrcBufLen = 0x01;
inline constexpr uint8_t kNrcIllCmd = 0x03;
inline constexpr uint8_t kNrcCmdTmo = 0x05;
inline constexpr uint8_t kNrcIncomp = 0x06;
inline constexpr uint8_t kNrcBridge = 0x23;  // no such adapter number

inline constexpr size_t kNcbNameSize = 16;  // NCBNAMSZ

// NCB: 64 bytes in a 32-bit process, 96 in a 64-bit one (wider pointers, a longer reserve).
struct Ncb {
    uint8_t ncb_command = 0;
    uint8_t ncb_retcode = 0;
    uint8_t ncb_lsn = 0;
    uint8_t ncb_num = 0;
    uint8_t* ncb_buffer = nullptr;
    uint16_t ncb_length = 0;
    uint8_t ncb_callname[kNcbNameSize] = {};
    uint8_t ncb_name[kNcbNameSize] = {};
    uint8_t ncb_rto = 0;
    uint8_t ncb_sto = 0;
    void (*ncb_post)(Ncb*) = nullptr;
    uint8_t ncb_lana_num = 0;
    uint8_t ncb_cmd_cplt = 0;
    uint8_t ncb_reserve[sizeof(void*) == 8 ? 18 : 10] = {};
    void* ncb_event = nullptr;
};
static_assert(sizeof(Ncb) == (sizeof(void*) == 8 ? 96 : 64));
static_assert(offsetof(Ncb, ncb_post) == (sizeof(void*) == 8 ? 56 : 44));
static_assert(offsetof(Ncb, ncb_event) == (sizeof(void*) == 8 ? 88 : 60));

// ADAPTER_STATUS, 60 bytes, at the start of an NCBASTAT reply (name buffers follow it).
struct AdapterStatus {
    uint8_t adapter_address[6];
    uint8_t rev_major;
    uint8_t reserved0;
    uint8_t adapter_type;
    uint8_t rev_minor;
    uint16_t duration;
    uint16_t frmr_recv;
    uint16_t frmr_xmit;
    uint16_t iframe_recv_err;
    uint16_t xmit_aborts;
    uint32_t xmit_success;
    uint32_t recv_success;
    uint16_t iframe_xmit_err;
    uint16_t recv_buff_unavail;
    uint16_t t1_timeouts;
    uint16_t ti_timeouts;
    uint32_t reserved1;
    uint16_t free_ncbs;
    uint16_t max_cfg_ncbs;
    uint16_t max_ncbs;
    uint16_t xmit_buf_unavail;
    uint16_t max_dgram_size;
    uint16_t pending_sess;
    uint16_t max_cfg_sess;
    uint16_t max_sess;
    uint16_t max_sess_pkt_size;
    uint16_t name_count;
};
static_assert(sizeof(AdapterStatus) == 60);

inline constexpr uint32_t kHeapZeroMemory = 0x00000008;  // HEAP_ZERO_MEMORY

class INetBios {
public:
    virtual ~INetBios() = default;
    // Runs the command and returns its NRC code, also left in ncb_retcode and
    // ncb_cmd_cplt. Only synchronous submission is offered: an NCB with the ASYNCH
    // bit, a post routine or an event is refused with kNrcIllCmd.
    virtual uint8_t Netbios(Ncb& ncb) = 0;

    // The process heap: GetProcessHeap, HeapAlloc (nullptr when nothing is to be
    // had) and HeapFree (nonzero on success).
    virtual void* GetProcessHeap() = 0;
    virtual void* HeapAlloc(void* heap, uint32_t flags, size_t bytes) = 0;
    virtual int32_t HeapFree(void* heap, uint32_t flags, void* block) = 0;
};

}  // namespace velmora
