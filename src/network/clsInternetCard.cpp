#include "network/clsInternetCard.h"

#include <cstring>

#include "base/RuntimeError.h"
#include "text/Text.h"

namespace velmora {
namespace {

constexpr uint16_t kReplyAreaSize = 680;
constexpr char kAnyName[kNcbNameSize + 1] = "*               ";
constexpr uint16_t kSocketsVersion = 0x0101;
constexpr int32_t kHostNameSize = 256;
const String kCleanupFailure = u"Socket error occurred in Cleanup.";

// A block of the process heap, given back on every path.
class HeapBlock {
public:
    HeapBlock(INetBios& netbios, size_t bytes)
        : netbios_(netbios), heap_(netbios.GetProcessHeap()),
          block_(static_cast<uint8_t*>(netbios.HeapAlloc(heap_, kHeapZeroMemory, bytes))) {}
    ~HeapBlock() {
        if (block_) netbios_.HeapFree(heap_, 0, block_);
    }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    uint8_t* get() const { return block_; }

private:
    INetBios& netbios_;
    void* heap_;
    uint8_t* block_;
};

uint8_t ToByte(int32_t value) {
    if (value < 0 || value > 0xFF) Raise(Err::Overflow);
    return static_cast<uint8_t>(value);
}

String HexByte(uint8_t value) {
    constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

}  // namespace

String clsInternetCard::EthernetAddress(const int32_t& LanaNumber) {
    String address;
    try {
        INetBios& netbios = platform_.netbios;
        Ncb ncb{};
        ncb.ncb_command = kNcbReset;
        ncb.ncb_lana_num = 0;
        netbios.Netbios(ncb);

        ncb.ncb_command = kNcbAStat;
        ncb.ncb_lana_num = ToByte(LanaNumber);
        std::memcpy(ncb.ncb_callname, kAnyName, kNcbNameSize);
        ncb.ncb_length = kReplyAreaSize;
        HeapBlock area(netbios, kReplyAreaSize);
        if (!area.get()) return String();
        ncb.ncb_buffer = area.get();
        // A failing status command leaves the zeroed area: the address reads as zeros.
        netbios.Netbios(ncb);

        AdapterStatus status;
        std::memcpy(&status, area.get(), sizeof status);
        String text;
        for (uint8_t byte : status.adapter_address) text += HexByte(byte);
        address = text;
    } catch (...) {
        address.clear();  // the operation's own trap: no address rather than an error
    }
    return address;
}

int32_t clsInternetCard::HiByte(int16_t wParam) { return (wParam / 256) & 0xFF; }

int32_t clsInternetCard::LoByte(int16_t wParam) { return wParam & 0xFF; }

bool clsInternetCard::SocketsInitialize() {
    WsaData data{};
    if (platform_.sockets.WSAStartup(kSocketsVersion, data) != 0) return false;
    if (static_cast<int16_t>(data.iMaxSockets) < 1) return false;
    const auto granted = static_cast<int16_t>(data.wVersion);
    const int32_t major = LoByte(granted), minor = HiByte(granted);
    return !(major < 1 || (major == 1 && minor < 1));
}

void clsInternetCard::SocketsCleanup() {
    if (platform_.sockets.WSACleanup() != 0)
        platform_.sockets.WriteApplicationEvent(kEventLogErrorType, platform_.codec.StringToAnsi(kCleanupFailure));
}

String clsInternetCard::GetIPAddress(const String& sHost) {
    ISockets& sockets = platform_.sockets;
    // The ANSI buffer ends at its first NUL, or after its 256 characters.
    std::string hostName(kHostNameSize, ' ');
    if (!SocketsInitialize()) return String();
    if (sHost.empty()) {
        if (sockets.gethostname(hostName.data(), kHostNameSize) == kSocketError) {
            SocketsCleanup();
            return String();
        }
    } else {
        String name = Trim(sHost) + u'\0';
        name.resize(kHostNameSize, u' ');
        hostName = platform_.codec.StringToAnsi(name);
    }
    const std::optional<HostEnt> entry = sockets.gethostbyname(hostName.c_str());
    // An entry without a first address of h_length bytes has nothing to format.
    if (!entry || entry->h_length <= 0 || entry->h_addr_list.empty() ||
        entry->h_addr_list.front().size() < static_cast<size_t>(entry->h_length)) {
        SocketsCleanup();
        return String();
    }
    const std::string& first = entry->h_addr_list.front();
    String text;
    for (int16_t i = 0; i < entry->h_length; ++i) {
        if (i > 0) text += u'.';
        text += FromAscii(std::to_string(static_cast<uint8_t>(first[static_cast<size_t>(i)])));
    }
    SocketsCleanup();
    return text;
}

}  // namespace velmora
