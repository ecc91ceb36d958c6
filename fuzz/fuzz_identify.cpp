// IDENTIFY data and the SMART device map as a drive answers them, decoded through
// the disk worker: serial swap, byte-to-text and the device-map sentences.
#include <cstring>

#include "FakePlatform.h"
#include "FuzzSupport.h"
#include "base/RuntimeError.h"
#include "disk/clsDisk.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint8_t map = input.ConsumeIntegral<uint8_t>();
    const uint8_t capabilities = input.ConsumeIntegral<uint8_t>();
    const int32_t platformId = input.ConsumeIntegralInRange<int32_t>(0, 3);
    const int n = input.ConsumeIntegralInRange<int>(-2, 24);
    testing::FakePlatform fake;
    fake.versionRecord.dwPlatformId = static_cast<uint32_t>(platformId);
    fake.disk.version.fCapabilities = capabilities;
    fake.disk.version.bIDEDeviceMap = map;
    fake.disk.versionFails = input.ConsumeBool();
    fake.disk.identifyFails = input.ConsumeBool();
    const std::string identify = input.ConsumeRemainingBytesAsString();
    std::memcpy(fake.disk.identify.data(), identify.data(), std::min(identify.size(), fake.disk.identify.size()));

    if (GetIdeDeviceMap(map).size() > 400) std::abort();
    SerialBytes serial(fake.disk.identify.begin() + 20, fake.disk.identify.begin() + 40);
    serial.push_back(0);
    SwapBytes(serial, n);
    BytesToString(fake, serial, n);
    try {
        clsDisk disk(fake);
        if (disk.GetSmartSerialInNT().size() > 400 || disk.GetSmartSerialIn9X().size() > 400) std::abort();
        if (disk.GetComputerIdCode().size() > 16) std::abort();
    } catch (const RuntimeError&) {
    }
    return 0;
}
