#include "sound/clsSoundCard.h"

#include <cstring>
#include <string>

#include "base/RuntimeError.h"

namespace velmora {
namespace {

// Two bytes short of the record: only the low half of dwSupport is filled in.
constexpr uint32_t kCapsRequestSize = 0x32;
constexpr size_t kNameFieldWidth = 32;
constexpr size_t kChannelFieldWidth = 2;
constexpr int kListPositions = 12;

struct FlagName {
    int32_t flag;
    const char16_t* text;
};

// WAVE_FORMAT_* flags.
constexpr FlagName kFormatNames[] = {
    {0x001, u"11.025Khz,Mono,8bit,11Kb/Ps"},
    {0x002, u"11.025Khz,Stereo,8bit,22Kb/Ps"},
    {0x004, u"11.025Khz,Mono,16bit,22Kb/Ps"},
    {0x008, u"11.025Khz,Stereo,16bit,43Kb/Ps"},
    {0x010, u"22.05Khz,Mono,8bit,22Kb/Ps"},
    {0x020, u"22.05Khz,Stereo,8bit,43Kb/Ps"},
    {0x040, u"22.05Khz,Mono,16bit,43Kb/Ps"},
    {0x080, u"22.05Khz,Stereo,16bit,86Kb/Ps"},
    {0x100, u"44.1Khz,Mono,8bit,43Kb/Ps"},
    {0x200, u"44.1Khz,Stereo,8bit,86Kb/Ps"},
    {0x400, u"44.1Khz,Mono,16bit,86Kb/Ps"},
    {0x800, u"44.1Khz,Stereo,16bit,172Kb/Ps"},
};

// WAVECAPS_* flags.
constexpr FlagName kSupportNames[] = {
    {0x01, u"Support Pitch"},
    {0x02, u"Support Playback"},
    {0x04, u"Support Volume Control"},
    {0x08, u"Support Left-Right Channals"},
    {0x10, u"Support Synchronization"},
};

template <size_t N>
String NameOf(const FlagName (&table)[N], int32_t flag) {
    for (const auto& row : table)
        if (row.flag == flag) return row.text;
    return String();
}

// Padded on the right with blanks, or cut, to `width`.
String FixedWidth(String text, size_t width) {
    text.resize(width, u' ');
    return text;
}

// The decimal number with a blank in the place of the sign for a value >= 0.
String SignedText(int32_t value) { return FromAscii((value >= 0 ? " " : "") + std::to_string(value)); }

// One position per bit 0..11: the bit's name where it is set and named, then a blank.
template <class NameOfFlag>
String FlagList(uint32_t mask, NameOfFlag name) {
    String list;
    for (int i = 0; i < kListPositions; ++i) list += name(static_cast<int32_t>((1u << i) & mask)) + u' ';
    return list;
}

}  // namespace

bool clsSoundCard::FindSoundCard() { return static_cast<int32_t>(platform_.wave.waveOutGetNumDevs()) > 0; }

String clsSoundCard::GetFormatName(int32_t flag) { return NameOf(kFormatNames, flag); }

String clsSoundCard::GetSupportName(int32_t flag) { return NameOf(kSupportNames, flag); }

String clsSoundCard::GetSoundCardInfo(int16_t intSound) {
    try {
        if (!FindSoundCard()) return String();
        WaveOutCapsA caps{};
        platform_.wave.waveOutGetDevCapsA(0, &caps, kCapsRequestSize);

        const void* nul = std::memchr(caps.szPname, '\0', sizeof caps.szPname);
        if (!nul) Raise(Err::InvalidCall);  // a name that fills the field has no end
        const auto nameLength = static_cast<size_t>(static_cast<const char*>(nul) - caps.szPname);
        const String name = FixedWidth(platform_.codec.AnsiToString({caps.szPname, nameLength}), kNameFieldWidth);
        const String channels = FixedWidth(SignedText(static_cast<int16_t>(caps.wChannels)), kChannelFieldWidth);

        switch (intSound) {
            case kSoundProductId: return FromAscii(std::to_string(static_cast<int16_t>(caps.wPid)));
            case kSoundName: return name;
            case kSoundChannels: return channels;
            case kSoundFormats: return FlagList(caps.dwFormats, [this](int32_t f) { return GetFormatName(f); });
            case kSoundSupport: return FlagList(caps.dwSupport, [this](int32_t f) { return GetSupportName(f); });
            default: return String();
        }
    } catch (...) {
        return String();  // the operation's own trap: a device it cannot describe answers empty, not an error
    }
}

}  // namespace velmora
