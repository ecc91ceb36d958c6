#pragma once
// Wave family on Windows: winmm.
#include "platform/Wave.h"

namespace velmora {

class Win32Wave final : public IWave {
public:
    uint32_t waveOutGetNumDevs() override;
    uint32_t waveOutGetDevCapsA(uint32_t deviceId, WaveOutCapsA* caps, uint32_t size) override;
};

}  // namespace velmora
