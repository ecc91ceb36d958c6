// The disk facts the kernel publishes under /sys/block and the udev database,
// turned into IDENTIFY data, and the serial read back as the disk worker reads it.
#include "FuzzSupport.h"
#include "FakePlatform.h"
#include "disk/clsDisk.h"
#include "platform/linux/LinuxDisk.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::ClearScratch();
    // Which of the serial's sources this input fills, then each file's bytes.
    const uint8_t present = input.ConsumeIntegral<uint8_t>();
    const char* files[] = {"sys/block/sda/device/serial", "sys/block/sda/serial", "sys/block/sda/device/vpd_pg80",
                           "sys/block/sda/dev", "run/udev/data/b8:0", "sys/block/sda/device/model"};
    for (size_t i = 0; i < std::size(files); ++i)
        if (present & (1u << i)) fuzz::WriteScratch(files[i], input.ConsumeRandomLengthString(512));
    testing::FakePlatform fake;
    LinuxDisk disk(fuzz::ScratchRoot());
    disk.WholeDisks();
    const auto identify = disk.IdentifyFromSysfs("sda");
    if (!identify) return 0;
    // Words 10-19 as the worker takes them: swapped back, then up to the first 0.
    SerialBytes serial(identify->begin() + 20, identify->begin() + 40);
    serial.push_back(0);
    SwapBytes(serial, 20);
    if (BytesToString(fake, serial, 20).size() > 20) std::abort();
    return 0;
}
