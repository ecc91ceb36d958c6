// ALSA's /proc/asound tree: card list, device info, USB stream and HD-audio codec
// files from any bytes, read into wave-output records.
#include <cstring>

#include "FuzzSupport.h"
#include "platform/linux/LinuxWave.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::ClearScratch();
    const bool ownCards = input.ConsumeBool();
    const std::string cards = ownCards ? input.ConsumeRandomLengthString(256)
                                       : std::string(" 0 [Fuzz           ]: HDA-Intel - Fuzz Card\n");
    fuzz::WriteScratch("asound/cards", cards);
    fuzz::WriteScratch("asound/card0/pcm0p/info", input.ConsumeRandomLengthString(512));
    fuzz::WriteScratch("asound/card0/usbid", input.ConsumeRandomLengthString(16));
    const std::string stream = input.ConsumeRandomLengthString(2048);
    if (input.ConsumeBool()) fuzz::WriteScratch("asound/card0/stream0", stream);
    fuzz::WriteScratch("asound/card0/codec#0", input.ConsumeRemainingBytesAsString());
    LinuxWave wave(fuzz::ScratchRoot() + "asound");
    const uint32_t count = wave.waveOutGetNumDevs();
    for (uint32_t id = 0; id <= count; ++id) {
        WaveOutCapsA caps{};
        wave.waveOutGetDevCapsA(id, &caps, sizeof caps);
        if (id < count && ::strnlen(caps.szPname, sizeof caps.szPname) == sizeof caps.szPname) std::abort();
    }
    return 0;
}
