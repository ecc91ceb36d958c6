#include "platform/linux/LinuxDisk.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr size_t kSerialWord = 10, kSerialWords = 10;
constexpr size_t kFirmwareWord = 23, kFirmwareWords = 4;
constexpr size_t kModelWord = 27, kModelWords = 20;

// Block devices that are no disk of their own: memory, loops, maps, CD and floppy.
constexpr std::string_view kNotADisk[] = {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd", "zd"};

// "\\.\PhysicalDriveN", with the trailing blanks Windows ignores; the drive number or -1.
int PhysicalDriveNumber(std::string_view name) {
    name = TrimView(name, "", " ");
    constexpr std::string_view kPrefix = "\\\\.\\physicaldrive";
    if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 3) return -1;
    if (!SameIgnoringAsciiCase(name.substr(0, kPrefix.size()), kPrefix)) return -1;
    int number = 0;
    for (const char c : name.substr(kPrefix.size())) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

// The kernel hands ATA strings back readable; a drive stores each pair swapped.
void SwapStringWords(IdentifyData& data, size_t firstWord, size_t words) {
    for (size_t w = firstWord; w < firstWord + words; ++w) std::swap(data[2 * w], data[2 * w + 1]);
}

std::optional<std::string> FirstText(const std::vector<std::string>& paths) {
    for (const auto& path : paths)
        if (auto text = ReadSysFile(path, 4096)) {
            std::string value = TrimSpace(*text);
            if (!value.empty()) return value;
        }
    return std::nullopt;
}

// SCSI unit serial number page 0x80: four header bytes, the length in byte 3.
std::optional<std::string> VpdSerial(const std::string& path) {
    const auto page = ReadSysFile(path, 4096);
    if (!page || page->size() < 4 || static_cast<uint8_t>((*page)[1]) != 0x80) return std::nullopt;
    const size_t length = std::min<size_t>(static_cast<uint8_t>((*page)[3]), page->size() - 4);
    std::string serial = TrimSpace(page->substr(4, length));
    if (serial.empty()) return std::nullopt;
    return serial;
}

bool DeviceNumbers(const std::string& devFile, unsigned& major, unsigned& minor) {
    const auto text = ReadSysFile(devFile, 64);
    return text && std::sscanf(text->c_str(), "%u:%u", &major, &minor) == 2;
}

}  // namespace

void PutAtaString(IdentifyData& data, size_t firstWord, size_t words, std::string_view text) {
    std::string padded(text.substr(0, std::min(text.size(), 2 * words)));
    padded.resize(2 * words, ' ');
    for (size_t k = 0; k < words; ++k) {
        data[2 * (firstWord + k)] = static_cast<uint8_t>(padded[2 * k + 1]);
        data[2 * (firstWord + k) + 1] = static_cast<uint8_t>(padded[2 * k]);
    }
}

LinuxDisk::LinuxDisk(std::string root) : root_(std::move(root)) {
    if (root_.empty() || root_.back() != '/') root_ += '/';
}

std::vector<std::string> LinuxDisk::WholeDisks() const {
    std::vector<std::string> disks;
    const std::string folder = root_ + "sys/block/";
    for (const std::string& name : FolderNames(folder)) {
        if (std::any_of(std::begin(kNotADisk), std::end(kNotADisk), [&](auto p) { return name.starts_with(p); }))
            continue;
        // A disk has hardware behind it; virtual block devices have no "device" link.
        struct stat st{};
        if (::stat((folder + name + "/device").c_str(), &st) != 0) continue;
        disks.push_back(name);
    }
    std::sort(disks.begin(), disks.end());
    // A stick or card reader sorting first must not become drive 0 and so the identity;
    // as on Windows, removable disks come after the fixed ones.
    std::stable_partition(disks.begin(), disks.end(), [&](const std::string& name) {
        const auto mark = ReadSysFile(folder + name + "/removable", 16);
        return !(mark && TrimSpace(*mark) == "1");
    });
    return disks;
}

std::optional<IdentifyData> LinuxDisk::IdentifyFromSysfs(const std::string& disk) const {
    const std::string block = root_ + "sys/block/" + disk + "/";
    std::optional<std::string> serial = FirstText({block + "device/serial", block + "serial"});
    if (!serial) serial = VpdSerial(block + "device/vpd_pg80");
    unsigned major = 0, minor = 0;
    if (!serial && DeviceNumbers(block + "dev", major, minor)) serial = UdevProperty(root_, major, minor, "ID_SERIAL_SHORT");
    if (!serial || TrimSpace(*serial).empty()) return std::nullopt;
    IdentifyData data{};
    data[0] = 0x40;  // word 0: a fixed device
    PutAtaString(data, kSerialWord, kSerialWords, TrimSpace(*serial));
    if (auto model = FirstText({block + "device/model"})) PutAtaString(data, kModelWord, kModelWords, *model);
    return data;
}

std::optional<IdentifyData> LinuxDisk::Identify(const OpenDisk& disk) const {
    IdentifyData data{};
    if (disk.fd && ::ioctl(disk.fd.get(), HDIO_GET_IDENTITY, data.data()) == 0) {
        SwapStringWords(data, kSerialWord, kSerialWords);
        SwapStringWords(data, kFirmwareWord, kFirmwareWords);
        SwapStringWords(data, kModelWord, kModelWords);
        return data;
    }
    return IdentifyFromSysfs(disk.name);
}

DeviceHandle LinuxDisk::CreateFileA(const char* name, uint32_t access, uint32_t shareMode, uint32_t disposition) {
    if (name == nullptr || disposition != kOpenExisting) return kInvalidDevice;
    const int number = PhysicalDriveNumber(std::string_view(name, ::strnlen(name, 300)));
    if (number < 0) return kInvalidDevice;
    const std::vector<std::string> disks = WholeDisks();
    if (static_cast<size_t>(number) >= disks.size()) return kInvalidDevice;
    // Only privileged callers get the node itself; the published serial needs none.
    auto disk = std::make_shared<OpenDisk>(OpenDisk{
        disks[number], UniqueFd(::open((root_ + "dev/" + disks[number]).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))});
    std::lock_guard lock(mutex_);
    const DeviceHandle handle = next_++;
    open_.emplace(handle, std::move(disk));
    return handle;
}

int32_t LinuxDisk::DeviceIoControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                                   uint32_t outSize) {
    std::shared_ptr<const OpenDisk> disk;  // kept open while in use, even if closed meanwhile
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(device);
        if (it == open_.end()) return 0;
        disk = it->second;
    }
    if (code == kSmartGetVersion) {
        if (out == nullptr || outSize < sizeof(GetVersionOutParams)) return 0;
        GetVersionOutParams version;
        version.bVersion = 1;
        version.bRevision = 1;
        version.bIDEDeviceMap = 0x01;  // one IDE drive, primary master
        version.fCapabilities = kCapAtaIdCmd | kCapSmartCmd;
        std::memcpy(out, &version, sizeof version);
        return 1;
    }
    if (code == kSmartRcvDriveData) {
        if (in == nullptr || inSize < sizeof(SendCmdInParams) || out == nullptr || outSize < sizeof(SendCmdOutParams))
            return 0;
        SendCmdInParams command;
        std::memcpy(&command, in, sizeof command);
        if (command.irDriveRegs.bCommandReg != kAtaIdentifyDevice || command.bDriveNumber != 0) return 0;
        const auto identify = Identify(*disk);
        if (!identify) return 0;
        SendCmdOutParams reply;
        reply.cBufferSize = kIdentifyBytes;
        std::memcpy(reply.bBuffer, identify->data(), kIdentifyBytes);
        std::memcpy(out, &reply, sizeof reply);
        return 1;
    }
    return 0;
}

int32_t LinuxDisk::CloseHandle(DeviceHandle device) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(device);
    if (it == open_.end()) return 0;
    open_.erase(it);
    return 1;
}

}  // namespace velmora
