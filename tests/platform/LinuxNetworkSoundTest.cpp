// The Linux network and sound backends: fake /sys and /proc trees for the rules,
// and the real machine checked against what the system says independently.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "Scratch.h"
#include "platform/linux/CallScope.h"
#include "platform/linux/LinuxNetBios.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/linux/LinuxWave.h"
#include "platform/linux/NetInterfaces.h"
#include "network/clsInternetCard.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

using Tree = testing::ScratchTree;
using testing::ReadAll;

// One interface folder as the kernel publishes it; a null field is a file left out.
struct FakeInterface {
    const char* name;
    const char* ifindex;
    const char* address;
    const char* assigned = "0";  // addr_assign_type: 0 permanent, 1 random, 2 stolen, 3 set
    bool device = false;         // hardware behind it
    const char* type = "1";
};

void Write(const Tree& tree, const FakeInterface& i) {
    tree.Folder(i.name);
    const std::string folder = std::string(i.name) + "/";
    if (i.ifindex) tree.Write(folder + "ifindex", std::string(i.ifindex) + "\n");
    if (i.type) tree.Write(folder + "type", std::string(i.type) + "\n");
    if (i.address) tree.Write(folder + "address", std::string(i.address) + "\n");
    if (i.assigned) tree.Write(folder + "addr_assign_type", std::string(i.assigned) + "\n");
    if (i.device) tree.Folder(folder + "device");
}

std::string Hex(const std::array<uint8_t, 6>& bytes) {
    char text[13];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                  bytes[5]);
    return text;
}

const FakeInterface kLoopback{"lo", "1", "00:00:00:00:00:00", "0", false, "772"};

TEST(LinuxNetBios, AdaptersAreCardsWithPermanentAddressesFirst) {
    const struct {
        const char* label;
        std::vector<FakeInterface> interfaces;
        std::vector<std::string> adapters;
    } cases[] = {
        {"random virtual interfaces before the card",
         {kLoopback, {"ifb0", "2", "06:76:1e:b6:92:98", "1"}, {"ifb1", "3", "ea:d4:76:ee:24:27", "1"},
          {"eth0", "4", "02:fc:00:00:00:01", "0", true}},
         {"02FC00000001"}},
        {"bridge, veth and a virtual permanent address around cards, one of them down",
         {{"br0", "2", "02:42:ac:11:00:01", "3"}, {"veth1", "3", "02:42:ac:11:00:02", "2"},
          {"dummy0", "4", "0a:00:00:00:00:04"}, {"eth1", "9", "00:1b:21:3a:4f:50", "0", true},
          {"eth0", "7", "00:50:ba:12:ab:34", "0", true}},
         {"0050BA12AB34", "001B213A4F50", "0A0000000004"}},
        {"a kernel without addr_assign_type counts every address as permanent",
         {{"wlan0", "3", "a4:5e:60:0a:0b:0c", nullptr, true}, {"zz9", "2", "02:42:ac:11:00:02", nullptr}},
         {"A45E600A0B0C", "0242AC110002"}},
        {"nothing that is not a six-byte non-zero address of a known index",
         {kLoopback, {"tun0", "2", ""}, {"ib0", "4", "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0a:bc:de"},
          {"veth0", "5", "00:00:00:00:00:00", "0", true}, {"noindex", nullptr, "02:00:00:00:00:09", "0", true},
          {"garbled", "6", "zz:00:00:00:00:09"}, {"odd", "8", "02:00:00:00:00:08", "x"}, {"empty", nullptr, nullptr}},
         {}},
    };
    for (const auto& c : cases) {
        Tree tree;
        for (const auto& i : c.interfaces) Write(tree, i);
        std::vector<std::string> order;
        for (const auto& a : LinuxNetBios(tree.root()).Adapters()) order.push_back(Hex(a));
        EXPECT_EQ(order, c.adapters) << c.label;
    }
    EXPECT_TRUE(LinuxNetBios("/nonexistent/sys/class/net").Adapters().empty());
}

// A reset and a status request of one public call see one reading of the adapters;
// the next call, and any request outside a call, reads them again.
TEST(LinuxNetBios, AdaptersAreReadOnceACall) {
    Tree tree;
    Write(tree, {"eth0", "2", "00:50:ba:12:ab:34", "0", true});
    LinuxNetBios netbios(tree.root());
    CallScopeBegins();
    EXPECT_EQ(netbios.Adapters().size(), 1u);
    Write(tree, {"eth1", "3", "00:1b:21:3a:4f:50", "0", true});
    EXPECT_EQ(netbios.Adapters().size(), 1u) << "the same call";
    CallScopeEnds();
    EXPECT_EQ(netbios.Adapters().size(), 2u) << "outside any call";
    Write(tree, {"eth2", "4", "00:1b:21:3a:4f:51", "0", true});
    CallScopeBegins();
    EXPECT_EQ(netbios.Adapters().size(), 3u) << "the next call";
    CallScopeEnds();
}

TEST(LinuxSockets, OwnAddressesFollowTheAdapterOrder) {
    Tree tree;
    for (const auto& i : std::vector<FakeInterface>{kLoopback, {"docker0", "3", "02:42:ac:11:00:01", "3"},
                                                    {"wg0", "2", nullptr}, {"eth0", "5", "02:fc:00:00:00:01", "0", true}})
        Write(tree, i);
    const auto order = ReadNetInterfaces(tree.root());
    const auto a = [](const char* name, bool up, Ipv4Address address, bool loopback = false) {
        return InterfaceAddress{name, up, loopback, address};
    };
    const struct {
        const char* label;
        std::vector<InterfaceAddress> found;
        std::vector<Ipv4Address> expected;
    } cases[] = {
        {"the card first, then the others by index; loopback and down ones left out",
         {a("lo", true, {127, 0, 0, 1}, true), a("wg0", true, {10, 8, 0, 2}), a("docker0", true, {172, 17, 0, 1}),
          a("eth0", true, {192, 0, 2, 2}), a("eth0", true, {192, 0, 2, 9}), a("docker0", false, {172, 18, 0, 1})},
         {{192, 0, 2, 2}, {192, 0, 2, 9}, {10, 8, 0, 2}, {172, 17, 0, 1}}},
        {"an interface the tree does not list comes last",
         {a("gone9", true, {10, 0, 0, 9}), a("docker0", true, {172, 17, 0, 1})},
         {{172, 17, 0, 1}, {10, 0, 0, 9}}},
        {"only loopback or down: none, so the resolver answers",
         {a("lo", true, {127, 0, 0, 1}, true), a("eth0", false, {192, 0, 2, 2})}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(OwnAddresses(order, c.found), c.expected) << c.label;
}

TEST(LinuxNetBios, CommandsKeepNetbiosSemantics) {
    Tree tree;
    Write(tree, {"eth0", "2", "00:50:ba:12:ab:34", "0", true});
    LinuxNetBios netbios(tree.root());
    uint8_t area[680];
    auto status = [&](uint8_t lana, uint16_t length, const char* name) {
        std::memset(area, 0xEE, sizeof area);
        Ncb ncb{};
        ncb.ncb_command = kNcbAStat;
        ncb.ncb_lana_num = lana;
        std::memcpy(ncb.ncb_callname, name, 16);
        ncb.ncb_buffer = area;
        ncb.ncb_length = length;
        const uint8_t result = netbios.Netbios(ncb);
        EXPECT_EQ(ncb.ncb_retcode, result);
        return std::make_pair(result, ncb.ncb_length);
    };
    EXPECT_EQ(status(0, 680, "*               "), std::make_pair(kNrcGoodRet, uint16_t{60}));
    EXPECT_EQ(Hex({area[0], area[1], area[2], area[3], area[4], area[5]}), "0050BA12AB34");
    EXPECT_EQ(area[60], 0xEE);  // nothing beyond the status block
    EXPECT_EQ(status(0, 4, "*               "), std::make_pair(kNrcIncomp, uint16_t{4}));
    EXPECT_EQ(area[4], 0xEE);
    EXPECT_EQ(status(1, 680, "*               ").first, kNrcBridge);
    EXPECT_EQ(area[0], 0xEE);  // a failure writes nothing
    EXPECT_EQ(status(0, 680, "OTHERHOST       ").first, kNrcCmdTmo);

    Ncb reset{};
    reset.ncb_command = kNcbReset;
    EXPECT_EQ(netbios.Netbios(reset), kNrcGoodRet);
    reset.ncb_lana_num = 1;
    EXPECT_EQ(netbios.Netbios(reset), kNrcBridge);
    Ncb asynchronous{};
    asynchronous.ncb_command = kNcbReset | kNcbAsynch;
    EXPECT_EQ(netbios.Netbios(asynchronous), kNrcIllCmd);
}

// Read here apart from the backend: the permanent address of the card (a device
// behind it) of lowest ifindex.
std::optional<std::string> FirstCardInSysClassNet() {
    std::map<long, std::string> byIndex;
    for (const auto& entry : fs::directory_iterator("/sys/class/net")) {
        std::string address = ReadAll(entry.path() / "address");
        address.erase(std::remove(address.begin(), address.end(), '\n'), address.end());
        if (!fs::exists(entry.path() / "device") || ReadAll(entry.path() / "addr_assign_type") != "0\n" ||
            address.size() != 17 || address == "00:00:00:00:00:00")
            continue;
        address.erase(std::remove(address.begin(), address.end(), ':'), address.end());
        for (char& c : address) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        byIndex[std::stol(ReadAll(entry.path() / "ifindex"))] = address;
    }
    if (byIndex.empty()) return std::nullopt;
    return byIndex.begin()->second;
}

TEST(LinuxNetwork, AddressOfTheFirstCard) {
    const auto expected = FirstCardInSysClassNet();
    if (!expected) GTEST_SKIP() << "no network card with a permanent address here";
    LinuxPlatform linux;
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(linux.platform()).GetInternetCardAddress()), *expected);
}

// The resolver's first IPv4 address for `name`, read here apart from the backend.
std::string ResolverFirstAddress(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return std::string();
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return text;
}

TEST(LinuxNetwork, ComputerIpIsTheFirstAddressIpLists) {
    if (testing::Shell("command -v ip").empty()) GTEST_SKIP() << "no ip (iproute2) here";
    const std::string listed =
        testing::Shell("ip -4 -o addr show scope global up | awk '{print $4}' | cut -d/ -f1 | head -n1");
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    LinuxPlatform linux;
    // Without an address of its own, the machine's name goes to the resolver.
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(linux.platform()).GetComputerIP()),
              listed.empty() ? ResolverFirstAddress(host) : listed);
    const String shortName = Utf8ToUtf16(std::string(host).substr(0, std::string(host).find('.')));
    EXPECT_EQ(Utf16ToUtf8(clsInternetCard(linux.platform()).GetIPAddress(u" " + shortName + u" ")),
              Utf16ToUtf8(clsTarsin(linux.platform()).GetComputerIP()));
    EXPECT_EQ(Utf16ToUtf8(clsInternetCard(linux.platform()).GetIPAddress(u"  localhost ")),
              ResolverFirstAddress("localhost"));
}

TEST(LinuxSockets, StartUpsAreCountedAsWindowsSocketsCountsThem) {
    LinuxSockets sockets;
    char name[256];
    EXPECT_EQ(sockets.gethostname(name, sizeof name), kSocketError);
    EXPECT_FALSE(sockets.gethostbyname("localhost"));
    EXPECT_EQ(sockets.WSACleanup(), kSocketError);

    const struct {
        uint16_t requested, granted, maxSockets;
        int32_t result;
    } versions[] = {
        {0x0101, 0x0101, 32767, 0}, {0x0001, 0x0001, 32767, 0}, {0x0202, 0x0202, 0, 0},
        {0x0303, 0x0202, 0, 0},     {0x0100, 0, 0, kWsaVerNotSupported},
    };
    for (const auto& v : versions) {
        WsaData data{};
        EXPECT_EQ(sockets.WSAStartup(v.requested, data), v.result) << v.requested;
        EXPECT_EQ(data.wVersion, v.granted) << v.requested;
        EXPECT_EQ(data.iMaxSockets, v.maxSockets) << v.requested;
    }
    EXPECT_EQ(sockets.gethostname(name, 1), kSocketError);  // does not fit
    ASSERT_EQ(sockets.gethostname(name, sizeof name), 0);
    char expected[256] = {};
    ::gethostname(expected, sizeof expected - 1);
    EXPECT_STREQ(name, expected);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(sockets.WSACleanup(), 0);
    EXPECT_EQ(sockets.WSACleanup(), kSocketError);
}

// ALSA's /proc files as a card with HD-audio outputs and a USB card write them.
const char kCards[] =
    " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
    "                      HDA Intel PCH at 0xf7f10000 irq 32\n"
    " 1 [Device         ]: USB-Audio - USB Audio Device\n"
    "                      C-Media USB Audio Device at usb-0000:00:14.0-2, full speed\n"
    " 2 [Loopback       ]: Loopback - Loopback\n"
    "                      Loopback 1\n";

const char kCodec[] =
    "Codec: Realtek ALC892\n"
    "Default PCM:\n"
    "    rates [0x560]: 11025 22050 44100 48000\n"
    "    bits [0xe]: 8 16 20 24\n"
    "Node 0x02 [Audio Output] wcaps 0x41d: Stereo Amp-Out\n"
    "  Control: name=\"Front Playback Volume\", index=0, device=0\n"
    "  Device: name=\"ALC892 Analog\", type=\"Audio\", device=0\n"
    "  Amp-Out caps: ofs=0x40, nsteps=0x40, stepsize=0x03, mute=0\n"
    "  PCM:\n"
    "    rates [0x560]: 22050 44100 48000\n"
    "    bits [0xe]: 8 16 20 24\n"
    "    formats [0x1]: PCM\n"
    "Node 0x03 [Audio Output] wcaps 0x41d: Stereo Amp-Out\n"
    "  PCM:\n"
    "    rates [0x560]: 11025 44100\n"
    "    bits [0xe]: 16\n"
    "Node 0x06 [Audio Output] wcaps 0x611: Stereo Digital\n"
    "  Device: name=\"ALC892 Digital\", type=\"SPDIF\", device=1\n"
    "  PCM:\n"
    "    rates [0x5f0]: 32000 44100 48000 96000\n"
    "    bits [0x1e]: 16 20 24 32\n";

const char kUsbStream[] =
    "C-Media USB Audio Device at usb-0000:00:14.0-2, full speed : USB Audio\n"
    "\n"
    "Playback:\n"
    "  Status: Stop\n"
    "  Interface 1\n"
    "    Altset 1\n"
    "    Format: S16_LE\n"
    "    Channels: 2\n"
    "    Endpoint: 0x01 (1 OUT) (ADAPTIVE)\n"
    "    Rates: 44100, 48000\n"
    "  Interface 1\n"
    "    Altset 2\n"
    "    Format: U8\n"
    "    Channels: 1\n"
    "    Rates: 8000 - 48000 (continuous)\n"
    "\n"
    "Capture:\n"
    "  Status: Stop\n"
    "  Interface 2\n"
    "    Altset 1\n"
    "    Format: S16_LE\n"
    "    Channels: 1\n"
    "    Rates: 11025\n";

TEST(LinuxWave, PlaybackDevicesFromProcAsound) {
    Tree tree;
    tree.Write("cards", kCards);
    tree.Write("card0/codec#0", kCodec);
    tree.Write("card0/pcm0p/info", "card: 0\ndevice: 0\nstream: PLAYBACK\nid: ALC892 Analog\nname: ALC892 Analog\n");
    tree.Write("card0/pcm0c/info", "name: ALC892 Capture\n");
    tree.Write("card0/pcm1p/info", "name: ALC892 Digital\n");
    tree.Folder("card0/pcm3p");  // no info file: the card's name stands in
    tree.Write("card0/pcm10p/info", "name: HDMI 4\n");
    tree.Write("card1/usbid", "0d8c:000c\n");
    tree.Write("card1/stream0", kUsbStream);
    tree.Write("card1/pcm0p/info", "name: ABCDEFGHIJKLMNOPQRSTUVWXYZ1234\xC3\xBC\n");
    tree.Write("card5/pcm0p/info", "name: not listed in cards\n");

    const struct {
        const char* name;
        uint16_t mid, pid, channels;
        uint32_t formats, support;
    } expected[] = {
        {"ALC892 Analog", 0, 0, 2, 0xAA0, kWaveCapsVolume | kWaveCapsLrVolume},
        {"ALC892 Digital", 0, 0, 2, 0x800, 0},
        {"HDA Intel PCH", 0, 0, 0, 0, 0},
        {"HDMI 4", 0, 0, 0, 0, 0},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234", 0x0D8C, 0x000C, 2, 0x911, 0},
    };
    LinuxWave wave(tree.root());
    ASSERT_EQ(wave.waveOutGetNumDevs(), std::size(expected));
    for (uint32_t i = 0; i < std::size(expected); ++i) {
        WaveOutCapsA caps{};
        ASSERT_EQ(wave.waveOutGetDevCapsA(i, &caps, sizeof caps), kMmSysErrNoError);
        EXPECT_STREQ(caps.szPname, expected[i].name);
        EXPECT_EQ(caps.wMid, expected[i].mid) << i;
        EXPECT_EQ(caps.wPid, expected[i].pid) << i;
        EXPECT_EQ(caps.wChannels, expected[i].channels) << i;
        EXPECT_EQ(caps.dwFormats, expected[i].formats) << i;
        EXPECT_EQ(caps.dwSupport, expected[i].support) << i;
    }
    WaveOutCapsA caps{};
    caps.dwSupport = 0xAAAAAAAA;
    ASSERT_EQ(wave.waveOutGetDevCapsA(0, &caps, 0x32), kMmSysErrNoError);
    EXPECT_EQ(caps.dwSupport, 0xAAAA000Cu);  // only the low half was asked for
    EXPECT_EQ(wave.waveOutGetDevCapsA(5, &caps, sizeof caps), kMmSysErrBadDeviceId);
    EXPECT_EQ(wave.waveOutGetDevCapsA(0, nullptr, sizeof caps), kMmSysErrInvalParam);
}

TEST(LinuxWave, NoCardsNoDevice) {
    Tree tree;
    EXPECT_EQ(LinuxWave(tree.root() + "/missing").waveOutGetNumDevs(), 0u);
    tree.Write("cards", "--- no soundcards ---\n");
    EXPECT_EQ(LinuxWave(tree.root()).waveOutGetNumDevs(), 0u);
    tree.Write("cards", kCards);
    tree.Write("card0/pcm0c/info", "name: capture only\n");
    EXPECT_EQ(LinuxWave(tree.root()).waveOutGetNumDevs(), 0u);
}

TEST(LinuxWave, RealMachineAnswersWhatProcAsoundLists) {
    // Playback devices counted here apart from the backend: pcmNp folders of the listed cards.
    size_t playback = 0;
    std::string firstName;
    std::istringstream cards(ReadAll("/proc/asound/cards"));
    for (std::string line; std::getline(cards, line);) {
        std::istringstream words(line);
        int card = -1;
        std::string bracket;
        if (!(words >> card >> bracket) || bracket.front() != '[') continue;
        std::vector<std::string> devices;
        const fs::path folder = "/proc/asound/card" + std::to_string(card);
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("pcm", 0) == 0 && name.back() == 'p') devices.push_back(name);
        }
        playback += devices.size();
    }
    LinuxPlatform linux;
    clsTarsin tarsin(linux.platform());
    EXPECT_EQ(linux.platform().wave.waveOutGetNumDevs(), playback);
    const String answers[] = {tarsin.GetSoundCardId(), tarsin.GetSoundCardName(), tarsin.GetSoundCardChannel(),
                              tarsin.GetSoundCardDwformats(), tarsin.GetSoundCardDwsupport()};
    if (playback == 0) {
        for (const auto& answer : answers) EXPECT_EQ(answer, u"");
    } else {
        EXPECT_EQ(answers[1].size(), 32u);
        EXPECT_EQ(answers[2].size(), 2u);
    }
}

}  // namespace
}  // namespace velmora
