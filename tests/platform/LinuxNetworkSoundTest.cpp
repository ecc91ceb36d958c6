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

#include "platform/linux/LinuxNetBios.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxSockets.h"
#include "platform/linux/LinuxWave.h"
#include "network/clsInternetCard.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class Tree {
public:
    Tree() {
        std::string pattern = (fs::temp_directory_path() / "velmora-tree-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
    }
    ~Tree() { fs::remove_all(root_); }
    std::string root() const { return root_.string(); }
    void Write(const std::string& path, const std::string& bytes) const {
        fs::create_directories((root_ / path).parent_path());
        std::ofstream(root_ / path, std::ios::binary) << bytes;
    }
    void Folder(const std::string& path) const { fs::create_directories(root_ / path); }

private:
    fs::path root_;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void Interface(const Tree& tree, const std::string& name, const char* ifindex, const char* type, const char* address) {
    if (ifindex) tree.Write(name + "/ifindex", std::string(ifindex) + "\n");
    tree.Write(name + "/type", std::string(type) + "\n");
    if (address) tree.Write(name + "/address", std::string(address) + "\n");
}

std::string Hex(const std::array<uint8_t, 6>& bytes) {
    char text[13];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                  bytes[5]);
    return text;
}

TEST(LinuxNetBios, AdapterNumbersFollowTheInterfaceIndex) {
    Tree tree;
    Interface(tree, "lo", "1", "772", "00:00:00:00:00:00");
    Interface(tree, "tun0", "2", "65534", "");
    Interface(tree, "wlan0", "3", "1", "a4:5e:60:0a:0b:0c");
    Interface(tree, "ib0", "4", "32", "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0a:bc:de");
    Interface(tree, "veth0", "5", "1", "00:00:00:00:00:00");
    Interface(tree, "zz9", "7", "1", "02:42:ac:11:00:02");
    Interface(tree, "eth1", "10", "1", "00:1b:21:3a:4f:50");
    Interface(tree, "aaa0", "12", "1", "02:00:00:00:00:01");
    Interface(tree, "noindex", nullptr, "1", "02:00:00:00:00:09");
    Interface(tree, "garbled", "6", "1", "zz:00:00:00:00:09");
    tree.Folder("empty");
    std::vector<std::string> order;
    for (const auto& a : LinuxNetBios(tree.root()).Adapters()) order.push_back(Hex(a));
    EXPECT_EQ(order, (std::vector<std::string>{"A45E600A0B0C", "0242AC110002", "001B213A4F50", "020000000001"}));
    EXPECT_TRUE(LinuxNetBios(tree.root() + "/missing").Adapters().empty());
}

TEST(LinuxNetBios, CommandsKeepNetbiosSemantics) {
    Tree tree;
    Interface(tree, "eth0", "2", "1", "00:50:ba:12:ab:34");
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

// Read here apart from the backend: the first interface by index that is not a
// loopback and has a six-byte address other than zeros.
std::optional<std::string> FirstAdapterInSysClassNet() {
    std::map<long, std::string> byIndex;
    for (const auto& entry : fs::directory_iterator("/sys/class/net")) {
        std::string address = ReadAll(entry.path() / "address");
        const std::string type = ReadAll(entry.path() / "type");
        const std::string index = ReadAll(entry.path() / "ifindex");
        if (index.empty() || std::stol(type) == 772) continue;
        address.erase(std::remove(address.begin(), address.end(), '\n'), address.end());
        if (address.size() != 17 || address == "00:00:00:00:00:00") continue;
        address.erase(std::remove(address.begin(), address.end(), ':'), address.end());
        for (char& c : address) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        byIndex[std::stol(index)] = address;
    }
    if (byIndex.empty()) return std::nullopt;
    return byIndex.begin()->second;
}

TEST(LinuxNetwork, AddressOfTheFirstAdapterInSysClassNet) {
    const auto expected = FirstAdapterInSysClassNet();
    if (!expected) GTEST_SKIP() << "no interface with a hardware address here";
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

TEST(LinuxNetwork, ComputerIpIsTheResolversFirstAddress) {
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    LinuxPlatform linux;
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(linux.platform()).GetComputerIP()), ResolverFirstAddress(host)) << host;
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
