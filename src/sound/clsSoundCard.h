#pragma once
// Worker describing the first wave-output device: product id, name, channels,
// formats and capabilities, one selector each. Lives for one public call.
#include <cstdint>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

// The selectors of GetSoundCardInfo, as hosts' own code numbers them.
enum SoundField : int16_t {
    kSoundProductId = 1,
    kSoundName = 2,      // 32 characters
    kSoundChannels = 3,  // 2 characters
    kSoundFormats = 4,
    kSoundSupport = 5,
};

class clsSoundCard {
public:
    explicit clsSoundCard(Platform& platform) : platform_(platform) {}

    // One field of the device (a SoundField); any other value, no device or any
    // failure: the empty text.
    String GetSoundCardInfo(int16_t intSound);

private:
    bool FindSoundCard();
    String GetFormatName(int32_t flag);
    String GetSupportName(int32_t flag);

    Platform& platform_;
};

}  // namespace velmora
