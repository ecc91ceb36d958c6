#pragma once
// Wave family: waveOutGetNumDevs and waveOutGetDevCapsA with the WAVEOUTCAPSA record.
#include <cstdint>

namespace velmora {

inline constexpr uint32_t kMmSysErrNoError = 0;
inline constexpr uint32_t kMmSysErrBadDeviceId = 2;
inline constexpr uint32_t kMmSysErrInvalParam = 11;

// WAVEOUTCAPSA, 52 bytes.
struct WaveOutCapsA {
    uint16_t wMid = 0;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    char szPname[32] = {};  // NUL-terminated
    uint32_t dwFormats = 0;  // WAVE_FORMAT_* flags
    uint16_t wChannels = 0;
    uint16_t wReserved1 = 0;
    uint32_t dwSupport = 0;  // WAVECAPS_* flags
};
static_assert(sizeof(WaveOutCapsA) == 52);

inline constexpr uint32_t kWaveCapsVolume = 0x04;    // WAVECAPS_VOLUME
inline constexpr uint32_t kWaveCapsLrVolume = 0x08;  // WAVECAPS_LRVOLUME

class IWave {
public:
    virtual ~IWave() = default;
    // The number of wave-output devices.
    virtual uint32_t waveOutGetNumDevs() = 0;
    // Copies the first `size` bytes of device `deviceId`'s record (at most the whole
    // record) into `caps`; the rest of `caps` is left as it was.
    virtual uint32_t waveOutGetDevCapsA(uint32_t deviceId, WaveOutCapsA* caps, uint32_t size) = 0;
};

}  // namespace velmora
