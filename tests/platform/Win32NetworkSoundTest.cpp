// The Win32 network and sound backends under Wine, through the real workers.
#include <gtest/gtest.h>
#include <winsock.h>
#include <windows.h>
#include <iphlpapi.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "network/clsInternetCard.h"
#include "platform/win32/Win32Platform.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

std::string Dotted(DWORD address) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

// The adapters that have an IPv4 address, in the order the IP helper lists them.
std::vector<IP_ADAPTER_INFO> AdaptersWithAnAddress() {
    ULONG size = 0;
    ::GetAdaptersInfo(nullptr, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    std::vector<IP_ADAPTER_INFO> adapters;
    if (size == 0 || ::GetAdaptersInfo(first, &size) != ERROR_SUCCESS) return adapters;
    for (const IP_ADAPTER_INFO* a = first; a; a = a->Next)
        if (std::string(a->IpAddressList.IpAddress.String) != "0.0.0.0") adapters.push_back(*a);
    return adapters;
}

// Wine's NetBIOS numbers the adapters that have an IPv4 address: lana 0 is the first.
TEST(Win32NetBios, LanaZeroIsTheFirstAdapterWithAnAddress) {
    const auto adapters = AdaptersWithAnAddress();
    if (adapters.empty()) GTEST_SKIP() << "no adapter with an IPv4 address here";
    char expected[13] = {};
    const BYTE* a = adapters.front().Address;
    std::snprintf(expected, sizeof expected, "%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    Win32Platform win32;
    const int32_t lana = 0;
    EXPECT_EQ(Utf16ToUtf8(clsInternetCard(win32.platform()).EthernetAddress(lana)), expected);
    EXPECT_EQ(Utf16ToUtf8(clsTarsin(win32.platform()).GetInternetCardAddress()), expected);
    const int32_t missing = 200;
    EXPECT_EQ(clsInternetCard(win32.platform()).EthernetAddress(missing), u"000000000000");
}

// Wine answers gethostbyname for this machine's own name with its interface
// addresses, which may differ from what the system resolver says.
TEST(Win32Sockets, ComputerIpIsOneOfThisMachinesAddresses) {
    std::vector<std::string> own = {"127.0.0.1"};
    ULONG size = 0;
    ::GetIpAddrTable(nullptr, &size, FALSE);
    std::vector<unsigned char> buffer(size ? size : 1);
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (size && ::GetIpAddrTable(table, &size, FALSE) == NO_ERROR)
        for (DWORD i = 0; i < table->dwNumEntries; ++i) own.push_back(Dotted(table->table[i].dwAddr));
    Win32Platform win32;
    const std::string ip = Utf16ToUtf8(clsTarsin(win32.platform()).GetComputerIP());
    EXPECT_NE(std::find(own.begin(), own.end(), ip), own.end()) << ip;
    EXPECT_EQ(clsInternetCard(win32.platform()).GetIPAddress(u" localhost  "), u"127.0.0.1");
    EXPECT_EQ(clsInternetCard(win32.platform()).GetIPAddress(u"no-such-host.invalid"), u"");
}

struct SoundAnswers {
    String id, name, channel, formats, support;
};

SoundAnswers AskSound(Platform& platform) {
    clsTarsin tarsin(platform);
    return {tarsin.GetSoundCardId(), tarsin.GetSoundCardName(), tarsin.GetSoundCardChannel(),
            tarsin.GetSoundCardDwformats(), tarsin.GetSoundCardDwsupport()};
}

bool LinuxHasSoundCards() { return ::GetFileAttributesA("Z:\\proc\\asound\\cards") != INVALID_FILE_ATTRIBUTES; }

// Run by the test run with ALSA_CONFIG_PATH making ALSA's null device the default PCM,
// and without it (no device unless the machine itself has sound cards).
TEST(Win32Wave, WineDevicesThroughTheRealWorker) {
    Win32Platform win32;
    const bool nullDevice = std::getenv("ALSA_CONFIG_PATH") != nullptr;
    if (!nullDevice) {
        if (LinuxHasSoundCards()) GTEST_SKIP() << "this machine has sound cards of its own";
        EXPECT_EQ(::waveOutGetNumDevs(), 0u);
        const SoundAnswers answers = AskSound(win32.platform());
        for (const String* a : {&answers.id, &answers.name, &answers.channel, &answers.formats, &answers.support})
            EXPECT_EQ(*a, u"");
        return;
    }
    ASSERT_EQ(::waveOutGetNumDevs(), 1u);
    const SoundAnswers answers = AskSound(win32.platform());
    EXPECT_EQ(answers.name, u"Out: default" + String(20, u' '));
    EXPECT_EQ(answers.channel, u" 2");
    // Wine's null device takes every format, and has volume for both channels.
    EXPECT_EQ(answers.formats.find(u"  "), String::npos) << Utf16ToUtf8(answers.formats);
    EXPECT_NE(answers.support.find(u"Support Volume Control Support Left-Right Channals "), String::npos);

    // The same device described through the scripted platform gives the same texts.
    WAVEOUTCAPSA full{};
    ASSERT_EQ(::waveOutGetDevCapsA(0, &full, sizeof full), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    testing::FakePlatform fake;
    fake.wave.AddDevice(full.szPname, full.wPid, full.wChannels, full.dwFormats, full.dwSupport);
    const SoundAnswers expected = AskSound(fake);
    EXPECT_EQ(answers.id, expected.id);
    EXPECT_EQ(answers.formats, expected.formats);
    EXPECT_EQ(answers.support, expected.support);
}

}  // namespace
}  // namespace velmora
