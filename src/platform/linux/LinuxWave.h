#pragma once
// Wave family on Linux: the ALSA playback devices as /proc/asound lists them, in
// card and then device order. Name from the device's info file; channels and
// formats from the USB stream file or the HD-audio codec file where the kernel
// writes one; volume capabilities from the codec's output amplifier. What the
// system does not report stays 0.
#include <string>
#include <vector>

#include "platform/Wave.h"

namespace velmora {

class LinuxWave final : public IWave {
public:
    // `procAsound` is ALSA's /proc folder; tests point it at a fake tree.
    explicit LinuxWave(std::string procAsound = "/proc/asound") : root_(std::move(procAsound)) {}

    uint32_t waveOutGetNumDevs() override;
    uint32_t waveOutGetDevCapsA(uint32_t deviceId, WaveOutCapsA* caps, uint32_t size) override;

    // Every playback device's record, read afresh.
    std::vector<WaveOutCapsA> Devices() const;

private:
    std::string root_;
};

}  // namespace velmora
