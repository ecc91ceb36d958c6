// The first wave-output device's description, on the scripted platform.
#include <gtest/gtest.h>

#include <cstring>

#include "FakePlatform.h"
#include "public/clsTarsin.h"
#include "sound/clsSoundCard.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakeEntry;
using testing::FakePlatform;


String Blanks(size_t n) { return String(n, u' '); }

const String kAllFormats =
    u"11.025Khz,Mono,8bit,11Kb/Ps 11.025Khz,Stereo,8bit,22Kb/Ps 11.025Khz,Mono,16bit,22Kb/Ps "
    u"11.025Khz,Stereo,16bit,43Kb/Ps 22.05Khz,Mono,8bit,22Kb/Ps 22.05Khz,Stereo,8bit,43Kb/Ps "
    u"22.05Khz,Mono,16bit,43Kb/Ps 22.05Khz,Stereo,16bit,86Kb/Ps 44.1Khz,Mono,8bit,43Kb/Ps "
    u"44.1Khz,Stereo,8bit,86Kb/Ps 44.1Khz,Mono,16bit,86Kb/Ps 44.1Khz,Stereo,16bit,172Kb/Ps ";

TEST(SoundCard, SelectorsOfTheExampleDevice) {
    FakePlatform fake;
    fake.wave.AddDevice("Wave Device A", 100, 2, 0x00000FFF, 0x0000000C);
    const struct {
        int16_t selector;
        String answer;
    } cases[] = {
        {1, u"100"},
        {2, u"Wave Device A" + Blanks(19)},
        {3, u" 2"},
        {4, kAllFormats},
        {5, Blanks(2) + u"Support Volume Control Support Left-Right Channals " + Blanks(8)},
        {0, u""},
        {6, u""},
        {-1, u""},
    };
    for (const auto& c : cases) EXPECT_EQ(clsSoundCard(fake).GetSoundCardInfo(c.selector), c.answer) << c.selector;
    // Device 0, two bytes short of the record.
    for (const auto& request : fake.wave.capsRequests) {
        EXPECT_EQ(request.first, 0u);
        EXPECT_EQ(request.second, 0x32u);
    }
}

TEST(SoundCard, FieldRules) {
    const struct {
        const char* what;
        uint16_t pid, channels;
        uint32_t formats, support;
        int16_t selector;
        String answer;
    } cases[] = {
        {"one format", 1, 2, 0x800, 0, 4, Blanks(11) + u"44.1Khz,Stereo,16bit,172Kb/Ps "},
        {"no formats", 1, 2, 0, 0, 4, Blanks(12)},
        {"bits above the table", 1, 2, 0xFFFFF000, 0, 4, Blanks(12)},
        {"every capability", 1, 2, 0, 0xFFFF, 5,
         u"Support Pitch Support Playback Support Volume Control Support Left-Right Channals "
         u"Support Synchronization " + Blanks(7)},
        // The high half of dwSupport lies beyond the 0x32 bytes asked for.
        {"high capability bits", 1, 2, 0, 0x00040000, 5, Blanks(12)},
        {"twelve channels", 1, 12, 0, 0, 3, u" 1"},
        {"mono", 1, 1, 0, 0, 3, u" 1"},
        {"channels read as negative", 1, 0xFFFF, 0, 0, 3, u"-1"},
        {"product id read as negative", 0x8000, 2, 0, 0, 1, u"-32768"},
        {"product id 0", 0, 2, 0, 0, 1, u"0"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.wave.AddDevice("X", c.pid, c.channels, c.formats, c.support);
        EXPECT_EQ(clsSoundCard(fake).GetSoundCardInfo(c.selector), c.answer) << c.what;
    }
}

TEST(SoundCard, NameField) {
    const struct {
        std::string name;
        String field;  // empty: the call fails
    } cases[] = {
        {"", Blanks(32)},
        {std::string(31, 'n'), String(31, u'n') + u" "},
        {"Lautsprecher (Ger\xC3\xA4t)", u"Lautsprecher (Gerät)" + Blanks(12)},
        {std::string(32, 'n'), u""},  // fills the field: no NUL
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.wave.AddDevice(c.name, 7, 2, 1, 1);
        EXPECT_EQ(clsSoundCard(fake).GetSoundCardInfo(2), c.field) << c.name;
        // The name is read before any selector is answered, so a bad one fails them all.
        EXPECT_EQ(clsSoundCard(fake).GetSoundCardInfo(1), c.field.empty() ? u"" : u"7") << c.name;
    }
}

TEST(SoundCard, NoDeviceOrFailedRequest) {
    for (const uint32_t count : {0u, 0xFFFFFFFFu}) {
        FakePlatform fake;
        fake.wave.AddDevice("Wave Device A", 100, 2, 0xFFF, 0xC);
        fake.wave.reportedCount = count;
        for (int16_t selector = 0; selector <= 6; ++selector)
            EXPECT_EQ(clsSoundCard(fake).GetSoundCardInfo(selector), u"") << count << " " << selector;
        EXPECT_TRUE(fake.wave.capsRequests.empty());
    }
    // A request that fails is not noticed: the description stays all zero.
    FakePlatform fake;
    fake.wave.AddDevice("Wave Device A", 100, 2, 0xFFF, 0xC);
    fake.wave.capsFails = true;
    const String expected[] = {u"", u"0", Blanks(32), u" 0", Blanks(12), Blanks(12), u""};
    for (int16_t selector = 0; selector <= 6; ++selector)
        EXPECT_EQ(clsSoundCard(fake).GetSoundCardInfo(selector), expected[selector]) << selector;
}

TEST(SoundCard, PublicMethodsRunTheBracketWithTheirSelectors) {
    FakePlatform fake;
    fake.wave.AddDevice("Wave Device A", 100, 2, 0x800, 0x4);
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetSoundCardId(), u"100");
    EXPECT_EQ(tarsin.GetSoundCardName(), u"Wave Device A" + Blanks(19));
    EXPECT_EQ(tarsin.GetSoundCardChannel(), u" 2");
    EXPECT_EQ(tarsin.GetSoundCardDwformats(), Blanks(11) + u"44.1Khz,Stereo,16bit,172Kb/Ps ");
    EXPECT_EQ(tarsin.GetSoundCardDwsupport(), Blanks(2) + u"Support Volume Control " + Blanks(9));
    std::string expected;
    for (const char* name : {"GetSoundCardId", "GetSoundCardName", "GetSoundCardChannel", "GetSoundCardDwformats",
                             "GetSoundCardDwsupport"})
        expected += FakeEntry(name, "开始") + FakeEntry(name, "结束");
    EXPECT_EQ(fake.Log(), expected);
}

}  // namespace
}  // namespace velmora
