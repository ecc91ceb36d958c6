#include "platform/win32/Win32Wave.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstddef>

namespace velmora {

static_assert(sizeof(WaveOutCapsA) == sizeof(WAVEOUTCAPSA));
static_assert(offsetof(WaveOutCapsA, szPname) == offsetof(WAVEOUTCAPSA, szPname));
static_assert(offsetof(WaveOutCapsA, wChannels) == offsetof(WAVEOUTCAPSA, wChannels));
static_assert(offsetof(WaveOutCapsA, dwSupport) == offsetof(WAVEOUTCAPSA, dwSupport));

uint32_t Win32Wave::waveOutGetNumDevs() { return ::waveOutGetNumDevs(); }

uint32_t Win32Wave::waveOutGetDevCapsA(uint32_t deviceId, WaveOutCapsA* caps, uint32_t size) {
    // Same layout, and winmm itself writes no more than `size` bytes.
    return ::waveOutGetDevCapsA(deviceId, reinterpret_cast<WAVEOUTCAPSA*>(caps), size);
}

}  // namespace velmora
