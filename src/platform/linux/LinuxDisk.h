#pragma once
// Linux disk devices seen through the Win32 device calls: physical drive N is the
// Nth whole disk under /sys/block (virtual block devices left out, removable ones
// last). IDENTIFY data comes from the drive where the kernel allows it
// (HDIO_GET_IDENTITY, which needs privileges and an ATA disk); otherwise it is built
// from the serial number that the kernel publishes, laid out in words 10-19 as a
// drive stores it.
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/linux/SysFiles.h"

namespace velmora {

using IdentifyData = std::array<uint8_t, kIdentifyBytes>;

// `text` padded with blanks into `words` IDENTIFY words from `firstWord`, first
// character of each pair in the word's high byte, as ATA strings are stored.
void PutAtaString(IdentifyData& data, size_t firstWord, size_t words, std::string_view text);

class LinuxDisk final : public IDisk {
public:
    // `root` is the folder that stands for "/" (tests hand in a small fake tree).
    explicit LinuxDisk(std::string root = "/");

    DeviceHandle CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition) override;
    int32_t DeviceIoControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                            uint32_t outSize) override;
    int32_t CloseHandle(DeviceHandle device) override;

    // The whole disks that stand for physical drives 0, 1, ... ("vda", "sda"): the fixed
    // ones in name order, then the removable ones in name order.
    std::vector<std::string> WholeDisks() const;
    // IDENTIFY data from what the kernel publishes about `disk`; nullopt without a serial.
    std::optional<IdentifyData> IdentifyFromSysfs(const std::string& disk) const;

private:
    struct OpenDisk {
        std::string name;
        UniqueFd fd;  // none where the device node cannot be opened (no privileges)
    };
    std::optional<IdentifyData> Identify(const OpenDisk& disk) const;

    std::string root_;
    std::mutex mutex_;
    std::map<DeviceHandle, std::shared_ptr<const OpenDisk>> open_;
    DeviceHandle next_ = 0x100;
};

}  // namespace velmora
