#pragma once
// Worker describing the first wave-output device: product id, name, channels,
// formats and capabilities, one selector each. Lives for one public call.
#include <cstdint>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

class clsSoundCard {
public:
    explicit clsSoundCard(Platform& platform) : platform_(platform) {}

    // intSound 1 product id, 2 name field (32 characters), 3 channel field (2),
    // 4 format list, 5 capability list; any other value, no device or any failure:
    // the empty text.
    String GetSoundCardInfo(int16_t intSound);

private:
    bool FindSoundCard();
    String GetFormatName(int32_t flag);
    String GetSupportName(int32_t flag);

    Platform& platform_;
};

}  // namespace velmora
