#pragma once
// Scripted wave-output devices; a caps request copies only the bytes asked for.
#include <optional>
#include <string>
#include <vector>

#include "platform/Wave.h"

namespace velmora::testing {

class FakeWave final : public IWave {
public:
    std::vector<WaveOutCapsA> devices;
    std::optional<uint32_t> reportedCount;  // what waveOutGetNumDevs says, if not the list's size
    bool capsFails = false;                 // the caps request writes nothing

    std::vector<std::pair<uint32_t, uint32_t>> capsRequests;  // device id, size

    // Appends a device record; the name is copied with its NUL when it fits in 32 bytes.
    void AddDevice(const std::string& name, uint16_t pid, uint16_t channels, uint32_t formats,
                   uint32_t support);

    uint32_t waveOutGetNumDevs() override;
    uint32_t waveOutGetDevCapsA(uint32_t deviceId, WaveOutCapsA* caps, uint32_t size) override;
};

}  // namespace velmora::testing
