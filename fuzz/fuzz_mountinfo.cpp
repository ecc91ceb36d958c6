// /proc/self/mountinfo into the drive map, and drive texts resolved against it.
#include "FuzzSupport.h"
#include "platform/linux/LinuxDrives.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string designation = input.ConsumeRandomLengthString(8);
    const std::string text = input.ConsumeRemainingBytesAsString();
    const auto mounts = ParseMountInfo(text);
    const auto drives = DriveMap(mounts);
    if (drives.size() > 24) std::abort();  // C: to Z: at most
    for (const auto& d : drives) {
        if (d.letter < 'C' || d.letter > 'Z') std::abort();
        WindowsFileSystemName(d.fsType);
    }
    fuzz::WriteScratch("proc/self/mountinfo", text);
    LinuxDrives linuxDrives(fuzz::ScratchRoot());
    char buffer[128];
    linuxDrives.GetLogicalDriveStringsA(sizeof buffer, buffer);
    linuxDrives.GetDriveTypeA(designation.c_str());
    char volume[32], fileSystem[16];
    uint32_t serial = 0, component = 0, flags = 0;
    linuxDrives.GetVolumeInformationA(designation.c_str(), volume, sizeof volume, &serial, &component, &flags,
                                      fileSystem, sizeof fileSystem);
    return 0;
}
