// The adapter address through NetBIOS and the IP address through Windows Sockets,
// on the scripted platform.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "FakePlatform.h"
#include "network/clsInternetCard.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakeEntry;
using testing::FakePlatform;


std::string Bytes(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

TEST(InternetCard, AddressTextAndPublicAnswer) {
    const struct {
        std::optional<std::array<uint8_t, 6>> adapter0;  // nullopt: the status command fails
        const char16_t* address;
        const char16_t* publicAnswer;
    } cases[] = {
        {std::array<uint8_t, 6>{0x00, 0x50, 0xBA, 0x12, 0xAB, 0x34}, u"0050BA12AB34", u"0050BA12AB34"},
        {std::array<uint8_t, 6>{0x0A, 0x01, 0xF0, 0xFF, 0x10, 0x00}, u"0A01F0FF1000", u"0A01F0FF1000"},
        {std::array<uint8_t, 6>{0, 0, 0, 0, 0, 1}, u"000000000001", u"000000000001"},
        {std::array<uint8_t, 6>{}, u"000000000000", u""},
        {std::nullopt, u"000000000000", u""},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        if (c.adapter0) fake.netbios.adapters[0] = *c.adapter0;
        const int32_t lana = 0;
        EXPECT_EQ(clsInternetCard(fake).EthernetAddress(lana), c.address);
        EXPECT_EQ(clsTarsin(fake).GetInternetCardAddress(), c.publicAnswer) << Utf16ToUtf8(c.address);
        EXPECT_EQ(fake.netbios.allocations, fake.netbios.frees);
        EXPECT_EQ(fake.Log(), FakeEntry("GetInternetCardAddress", "开始") + FakeEntry("GetInternetCardAddress", "结束"));
    }
}

TEST(InternetCard, ResetThenStatusOfTheAskedAdapter) {
    FakePlatform fake;
    fake.netbios.adapters[0] = {1, 2, 3, 4, 5, 6};
    fake.netbios.adapters[3] = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x03};
    const int32_t lana = 3;
    EXPECT_EQ(clsInternetCard(fake).EthernetAddress(lana), u"DEADBEEF0003");

    const auto& sent = fake.netbios.submitted;
    ASSERT_EQ(sent.size(), 2u);
    // The reset always goes to adapter 0, with nothing but its command.
    EXPECT_EQ(sent[0].ncb_command, kNcbReset);
    EXPECT_EQ(sent[0].ncb_lana_num, 0);
    EXPECT_EQ(sent[0].ncb_length, 0);
    EXPECT_EQ(Bytes(sent[0].ncb_callname, 16), std::string(16, '\0'));
    EXPECT_EQ(sent[0].ncb_buffer, nullptr);

    EXPECT_EQ(sent[1].ncb_command, kNcbAStat);
    EXPECT_EQ(sent[1].ncb_lana_num, 3);
    EXPECT_EQ(Bytes(sent[1].ncb_callname, 16), "*" + std::string(15, ' '));
    EXPECT_EQ(sent[1].ncb_length, 680);
    EXPECT_NE(sent[1].ncb_buffer, nullptr);
    for (const Ncb& ncb : sent) {
        EXPECT_EQ(ncb.ncb_post, nullptr);
        EXPECT_EQ(ncb.ncb_event, nullptr);
        EXPECT_EQ(Bytes(ncb.ncb_name, 16), std::string(16, '\0'));
    }
    // The reply area is handed over zero-filled and given back.
    EXPECT_EQ(fake.netbios.replyAreas[1], std::vector<uint8_t>(680, 0));
    EXPECT_EQ(fake.netbios.allocations, 1);
    EXPECT_EQ(fake.netbios.frees, 1);
}

TEST(InternetCard, FailuresGiveTheEmptyText) {
    for (const int32_t lana : {256, -1, 0x10000}) {
        FakePlatform fake;
        fake.netbios.adapters[0] = {1, 2, 3, 4, 5, 6};
        EXPECT_EQ(clsInternetCard(fake).EthernetAddress(lana), u"") << lana;
        EXPECT_EQ(fake.netbios.allocations, 0);
        ASSERT_EQ(fake.netbios.submitted.size(), 1u);  // the reset only
    }
    FakePlatform fake;
    fake.netbios.adapters[0] = {1, 2, 3, 4, 5, 6};
    fake.netbios.heapExhausted = true;
    EXPECT_EQ(clsTarsin(fake).GetInternetCardAddress(), u"");
    EXPECT_EQ(fake.netbios.submitted.size(), 1u);
}

TEST(InternetCard, HiByteAndLoByte) {
    const struct {
        int16_t value;
        int32_t hi, lo;
    } cases[] = {
        {0x0201, 2, 1}, {0x0101, 1, 1}, {0x7FFF, 127, 255}, {0, 0, 0},
        {-1, 0, 255},   {-256, 255, 0}, {INT16_MIN, 128, 0},
    };
    FakePlatform fake;
    clsInternetCard card(fake);
    for (const auto& c : cases) {
        EXPECT_EQ(card.HiByte(c.value), c.hi) << c.value;
        EXPECT_EQ(card.LoByte(c.value), c.lo) << c.value;
    }
}

TEST(ComputerIp, FirstAddressOfTheLocalHost) {
    const struct {
        std::vector<std::array<uint8_t, 4>> addresses;
        const char16_t* answer;
    } cases[] = {
        {{{10, 0, 0, 5}, {192, 168, 1, 2}}, u"10.0.0.5"},
        {{{192, 168, 0, 10}}, u"192.168.0.10"},
        {{{0, 0, 0, 0}}, u"0.0.0.0"},
        {{{255, 255, 255, 255}}, u"255.255.255.255"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.sockets.AddHost("fakehost", c.addresses);
        EXPECT_EQ(clsTarsin(fake).GetComputerIP(), c.answer);
        EXPECT_EQ(fake.sockets.requestedVersions, std::vector<uint16_t>{0x0101});
        EXPECT_EQ(fake.sockets.hostNameLengths, std::vector<int32_t>{256});
        EXPECT_EQ(fake.sockets.lookedUp, std::vector<std::string>{"fakehost"});
        EXPECT_EQ(fake.sockets.cleanups, 1);
        EXPECT_EQ(fake.Log(), FakeEntry("GetComputerIP", "开始") + FakeEntry("GetComputerIP", "结束"));
    }
}

TEST(ComputerIp, EveryFailureGivesTheEmptyString) {
    const struct {
        const char* what;
        void (*script)(FakePlatform&);
        int cleanups;  // the service is stopped once it was started and usable
    } cases[] = {
        {"sockets do not start", [](FakePlatform& f) { f.sockets.startupResult = 10091; }, 0},
        {"version 1.0 granted", [](FakePlatform& f) { f.sockets.grantedVersion = 0x0001; }, 0},
        {"version 0.9 granted", [](FakePlatform& f) { f.sockets.grantedVersion = 0x0900; }, 0},
        {"no sockets", [](FakePlatform& f) { f.sockets.maxSockets = 0; }, 0},
        {"socket count read as negative", [](FakePlatform& f) { f.sockets.maxSockets = 0x8000; }, 0},
        {"no local host name", [](FakePlatform& f) { f.sockets.hostName.reset(); }, 1},
        {"name does not resolve", [](FakePlatform& f) { f.sockets.hosts.clear(); }, 1},
        {"empty address list", [](FakePlatform& f) { f.sockets.hosts["fakehost"].h_addr_list.clear(); }, 1},
        {"address length 0", [](FakePlatform& f) { f.sockets.hosts["fakehost"].h_length = 0; }, 1},
        {"negative address length", [](FakePlatform& f) { f.sockets.hosts["fakehost"].h_length = -4; }, 1},
        {"address shorter than its length", [](FakePlatform& f) { f.sockets.hosts["fakehost"].h_length = 16; }, 1},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.sockets.AddHost("fakehost", {{10, 1, 2, 3}});
        c.script(fake);
        EXPECT_EQ(clsInternetCard(fake).GetIPAddress(), u"") << c.what;
        EXPECT_EQ(fake.sockets.cleanups, c.cleanups) << c.what;
        EXPECT_TRUE(fake.sockets.events.empty()) << c.what;
    }
}

TEST(ComputerIp, LaterVersionsAreAccepted) {
    for (const uint16_t granted : {0x0101, 0x0201, 0x0002, 0x0202}) {
        FakePlatform fake;
        fake.sockets.grantedVersion = granted;
        fake.sockets.AddHost("fakehost", {{10, 1, 2, 3}});
        EXPECT_EQ(clsInternetCard(fake).GetIPAddress(), u"10.1.2.3") << granted;
    }
}

TEST(ComputerIp, GivenHostNameIsTrimmedAndEndsAtNulOrAfter256Characters) {
    const std::string longName(300, 'h');
    const struct {
        String sHost;
        std::string asked;
    } cases[] = {
        {u"  server.example  ", "server.example"},
        {String(u"ab\0cd", 5), "ab"},
        {FromAscii(longName), longName.substr(0, 256)},
        {u"   ", ""},  // an empty name asks for this machine
        {u"服务器", "服务器"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.sockets.AddHost(c.asked, {{172, 16, 0, 1}});
        EXPECT_EQ(clsInternetCard(fake).GetIPAddress(c.sHost), u"172.16.0.1") << c.asked;
        EXPECT_EQ(fake.sockets.lookedUp, std::vector<std::string>{c.asked});
        EXPECT_TRUE(fake.sockets.hostNameLengths.empty());
    }
}

TEST(ComputerIp, FailedCleanupIsLoggedAndLeavesTheAnswer) {
    FakePlatform fake;
    fake.sockets.AddHost("fakehost", {{10, 0, 0, 7}});
    fake.sockets.cleanupResult = -1;
    EXPECT_EQ(clsTarsin(fake).GetComputerIP(), u"10.0.0.7");
    ASSERT_EQ(fake.sockets.events.size(), 1u);
    EXPECT_EQ(fake.sockets.events[0].first, kEventLogErrorType);
    EXPECT_EQ(fake.sockets.events[0].second, "Socket error occurred in Cleanup.");
}

TEST(ComputerIp, RunTimeErrorEndsTheCallQuietly) {
    FakePlatform fake;
    fake.sockets.AddHost("fakehost", {{10, 0, 0, 7}});
    fake.sockets.lookupRaises = true;
    EXPECT_EQ(clsTarsin(fake).GetComputerIP(), u"");
    EXPECT_EQ(fake.Log(), FakeEntry("GetComputerIP", "开始"));
}

}  // namespace
}  // namespace velmora
