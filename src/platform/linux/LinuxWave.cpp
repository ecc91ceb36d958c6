#include "platform/linux/LinuxWave.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/linux/SysFiles.h"

namespace velmora {
namespace {

constexpr size_t kMaxCards = 64;
constexpr size_t kMaxDevicesPerCard = 64;
constexpr int kWaveRates[] = {11025, 22050, 44100};  // the rates WAVE_FORMAT_* flags name

struct Card {
    int number;
    std::string shortName;
};

// What a stream or codec file tells of one playback device.
struct Reported {
    int channels = 0;
    uint32_t formats = 0;
    uint32_t support = 0;
};

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Leading decimal digits of `text` (at most 9), or nothing.
std::optional<int> LeadingNumber(std::string_view text) {
    size_t i = 0;
    int value = 0;
    for (; i < text.size() && i < 9 && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    if (i == 0) return std::nullopt;
    return value;
}

// All decimal numbers in `text`, in order.
std::vector<int> Numbers(std::string_view text) {
    std::vector<int> numbers;
    while (!text.empty()) {
        if (auto n = LeadingNumber(text)) {
            numbers.push_back(*n);
            while (!text.empty() && text.front() >= '0' && text.front() <= '9') text.remove_prefix(1);
        } else {
            text.remove_prefix(1);
        }
    }
    return numbers;
}

// The WAVE_FORMAT_* flags for one channel count, the sample sizes and a rate test.
template <class HasRate>
uint32_t WaveFormats(int channels, bool bits8, bool bits16, HasRate hasRate) {
    if (channels != 1 && channels != 2) return 0;
    uint32_t flags = 0;
    for (int r = 0; r < 3; ++r) {
        if (!hasRate(kWaveRates[r])) continue;
        const int base = r * 4 + (channels == 2 ? 1 : 0);
        if (bits8) flags |= 1u << base;
        if (bits16) flags |= 1u << (base + 2);
    }
    return flags;
}

// " 0 [PCH            ]: HDA-Intel - HDA Intel PCH" for each card, then its long name.
std::vector<Card> ParseCards(std::string_view text) {
    std::vector<Card> cards;
    for (std::string_view line : Lines(text)) {
        line = TrimBlanks(line);
        const auto number = LeadingNumber(line);
        const size_t bracket = line.find(" [");
        if (!number || bracket == std::string_view::npos || line.find_first_not_of("0123456789") != bracket) continue;
        const size_t dash = line.find(" - ", bracket);
        cards.push_back({*number, dash == std::string_view::npos ? std::string() : std::string(line.substr(dash + 3))});
        if (cards.size() >= kMaxCards) break;
    }
    return cards;
}

// The "Playback:" section of a USB audio stream file: one block per alternate setting.
Reported ParseUsbStream(std::string_view text) {
    Reported reported;
    bool inPlayback = false;
    int channels = 0;
    bool bits8 = false, bits16 = false;
    std::vector<int> rates;
    bool continuous = false;
    auto finishAltset = [&] {
        reported.channels = std::max(reported.channels, channels);
        reported.formats |= WaveFormats(channels, bits8, bits16, [&](int rate) {
            if (continuous) return rates.size() >= 2 && rate >= rates[0] && rate <= rates[1];
            return std::find(rates.begin(), rates.end(), rate) != rates.end();
        });
        channels = 0;
        bits8 = bits16 = continuous = false;
        rates.clear();
    };
    for (std::string_view raw : Lines(text)) {
        if (!raw.empty() && raw.front() != ' ' && raw.front() != '\t') {
            if (inPlayback) finishAltset();
            inPlayback = TrimBlanks(raw) == "Playback:";
            continue;
        }
        if (!inPlayback) continue;
        const std::string_view line = TrimBlanks(raw);
        if (line.starts_with("Altset") || line.starts_with("Interface")) {
            finishAltset();
        } else if (line.starts_with("Format:") || line.starts_with("Formats:")) {
            for (std::string_view f : {"U8", "S8"}) bits8 |= line.find(f) != std::string_view::npos;
            for (std::string_view f : {"S16_", "U16_"}) bits16 |= line.find(f) != std::string_view::npos;
        } else if (line.starts_with("Channels:")) {
            const auto n = Numbers(line);
            channels = n.empty() ? 0 : n.front();
        } else if (line.starts_with("Rates:")) {
            rates = Numbers(line);
            continuous = line.find(" - ") != std::string_view::npos;
        }
    }
    if (inPlayback) finishAltset();
    return reported;
}

// The HD-audio output converter whose "Device:" line names PCM device `device`.
Reported ParseHdaCodec(std::string_view text, int device) {
    Reported reported;
    std::vector<std::string_view> node;
    auto finishNode = [&] {
        if (node.empty() || node.front().find("[Audio Output]") == std::string_view::npos) return;
        bool ours = false;
        std::vector<int> rates, bits;
        for (std::string_view raw : node) {
            const std::string_view line = TrimBlanks(raw);
            const size_t at = line.find("device=");
            if (line.starts_with("Device:") && at != std::string_view::npos)
                ours = LeadingNumber(line.substr(at + 7)) == device;
            else if (line.starts_with("rates ["))
                rates = Numbers(line.substr(line.find(':') == std::string_view::npos ? line.size() : line.find(':')));
            else if (line.starts_with("bits ["))
                bits = Numbers(line.substr(line.find(':') == std::string_view::npos ? line.size() : line.find(':')));
        }
        if (!ours || reported.channels != 0) return;
        const std::string_view header = node.front();
        const bool stereo = header.find(": Stereo") != std::string_view::npos;
        reported.channels = stereo ? 2 : header.find(": Mono") != std::string_view::npos ? 1 : 0;
        const auto has = [](const std::vector<int>& list, int v) {
            return std::find(list.begin(), list.end(), v) != list.end();
        };
        reported.formats = WaveFormats(reported.channels, has(bits, 8), has(bits, 16),
                                       [&](int rate) { return has(rates, rate); });
        if (header.find("Amp-Out") != std::string_view::npos)
            reported.support = kWaveCapsVolume | (stereo ? kWaveCapsLrVolume : 0);
    };
    for (std::string_view line : Lines(text)) {
        if (line.starts_with("Node ")) {
            finishNode();
            node.clear();
        }
        if (!node.empty() || line.starts_with("Node ")) node.push_back(line);
    }
    finishNode();
    return reported;
}

// Names in `folder` that are `prefix` followed by a number and then `suffix`, by number.
std::vector<std::pair<int, std::string>> NumberedEntries(const std::string& folder, std::string_view prefix,
                                                         std::string_view suffix) {
    std::vector<std::pair<int, std::string>> entries;
    for (const std::string& entry : FolderNames(folder)) {
        const std::string_view name = entry;
        if (!name.starts_with(prefix) || name.size() <= prefix.size() + suffix.size() ||
            name.substr(name.size() - suffix.size()) != suffix)
            continue;
        const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        const auto number = LeadingNumber(middle);
        if (!number || middle.size() > 9 || middle.find_first_not_of("0123456789") != std::string_view::npos) continue;
        entries.emplace_back(*number, entry);
        if (entries.size() >= kMaxDevicesPerCard) break;
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string InfoValue(std::string_view info, std::string_view key) {
    for (std::string_view line : Lines(info))
        if (line.starts_with(key)) return std::string(TrimBlanks(line.substr(key.size())));
    return std::string();
}

// Cut to at most `bytes` bytes without splitting a UTF-8 character.
std::string CutUtf8(std::string text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

WaveOutCapsA DeviceRecord(const std::string& cardFolder, const Card& card, int device, const std::string& pcmFolder) {
    WaveOutCapsA caps{};
    std::string name = InfoValue(ReadSysFile(pcmFolder + "/info").value_or(""), "name:");
    if (name.empty()) name = card.shortName;
    name = CutUtf8(name, sizeof caps.szPname - 1);
    std::memcpy(caps.szPname, name.c_str(), name.size() + 1);

    // A USB device names its vendor and product: "vvvv:pppp".
    const std::string usbid = ReadSysFile(cardFolder + "/usbid", 64).value_or("");
    if (usbid.size() >= 9 && usbid[4] == ':') {
        caps.wMid = static_cast<uint16_t>(std::strtoul(usbid.substr(0, 4).c_str(), nullptr, 16));
        caps.wPid = static_cast<uint16_t>(std::strtoul(usbid.substr(5, 4).c_str(), nullptr, 16));
    }

    Reported reported;
    if (const auto stream = ReadSysFile(cardFolder + "/stream" + std::to_string(device)))
        reported = ParseUsbStream(*stream);
    for (const auto& [index, codec] : NumberedEntries(cardFolder, "codec#", "")) {
        if (reported.channels != 0) break;
        if (const auto text = ReadSysFile(cardFolder + "/" + codec, 1024 * 1024))
            reported = ParseHdaCodec(*text, device);
    }
    caps.wChannels = static_cast<uint16_t>(reported.channels);
    caps.dwFormats = reported.formats;
    caps.dwSupport = reported.support;
    return caps;
}

}  // namespace

std::vector<WaveOutCapsA> LinuxWave::Devices() const {
    std::vector<WaveOutCapsA> devices;
    for (const Card& card : ParseCards(ReadSysFile(root_ + "/cards").value_or(""))) {
        const std::string cardFolder = root_ + "/card" + std::to_string(card.number);
        for (const auto& [device, pcm] : NumberedEntries(cardFolder, "pcm", "p"))
            devices.push_back(DeviceRecord(cardFolder, card, device, cardFolder + "/" + pcm));
    }
    return devices;
}

uint32_t LinuxWave::waveOutGetNumDevs() { return static_cast<uint32_t>(Devices().size()); }

uint32_t LinuxWave::waveOutGetDevCapsA(uint32_t deviceId, WaveOutCapsA* caps, uint32_t size) {
    if (!caps) return kMmSysErrInvalParam;
    const auto devices = Devices();
    if (deviceId >= devices.size()) return kMmSysErrBadDeviceId;
    std::memcpy(caps, &devices[deviceId], std::min<size_t>(size, sizeof(WaveOutCapsA)));
    return kMmSysErrNoError;
}

}  // namespace velmora
