#include "FakeWave.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace velmora::testing {

void FakeWave::AddDevice(const std::string& name, uint16_t pid, uint16_t channels, uint32_t formats,
                         uint32_t support) {
    WaveOutCapsA caps{};
    caps.wPid = pid;
    std::memcpy(caps.szPname, name.data(), std::min(name.size() + 1, sizeof caps.szPname));
    caps.wChannels = channels;
    caps.dwFormats = formats;
    caps.dwSupport = support;
    devices.push_back(caps);
}

uint32_t FakeWave::waveOutGetNumDevs() {
    return reportedCount.value_or(static_cast<uint32_t>(devices.size()));
}

uint32_t FakeWave::waveOutGetDevCapsA(uint32_t deviceId, WaveOutCapsA* caps, uint32_t size) {
    capsRequests.emplace_back(deviceId, size);
    if (!caps) return kMmSysErrInvalParam;
    if (capsFails || deviceId >= devices.size()) return kMmSysErrBadDeviceId;
    std::memcpy(caps, &devices[deviceId], std::min<size_t>(size, sizeof(WaveOutCapsA)));
    return kMmSysErrNoError;
}

}  // namespace velmora::testing
