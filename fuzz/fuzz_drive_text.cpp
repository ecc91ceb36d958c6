// Drive texts as a host passes them ("C:", "c", "C:\", anything) mapped to the
// drive services by the disk worker; only the scripted drives can answer.
#include "FakePlatform.h"
#include "FuzzSupport.h"
#include "base/RuntimeError.h"
#include "disk/clsDisk.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    testing::FakePlatform fake;
    fake.drives.drives['C'] = {kDriveFixed, "NTFS", "SYSTEM", 100u << 20, 40u << 20, 30u << 20};
    fake.drives.drives['D'] = {kDriveCdrom, "CDFS", "", 0, 0, 0, input.ConsumeBool()};
    const String text = fuzz::Utf16(input.ConsumeRemainingBytesAsString());
    try {
        clsDisk disk(fake);
        disk.GetDiskSpace(text);
        disk.GetDiskSpaceFree(text);
        disk.GetDiskFATname(text);
        disk.ChkSystemFdisk(text);
        disk.GetVolumeInfo(text);
    } catch (const RuntimeError&) {
    }
    // Whatever the text, only short designations reach the drive services.
    for (const std::string& asked : fake.drives.queried)
        if (asked.size() > 4 * text.size() + 4) std::abort();
    return 0;
}
