#include "platform/linux/packages/RpmHeader.h"

#include "platform/linux/packages/PackageFiles.h"

namespace velmora {
namespace {

// rpm's tag numbers and types (rpmtag.h): stable across every rpm release.
constexpr uint32_t kTagName = 1000, kTagVersion = 1001, kTagRelease = 1002, kTagEpoch = 1003;
constexpr uint32_t kTagVendor = 1011, kTagPackager = 1015, kTagArch = 1022;
constexpr uint32_t kTagImmutable = 63, kFirstDataTag = 100;  // tags below 100 mark regions
constexpr uint32_t kChar = 1, kInt32 = 4, kString = 6, kBin = 7, kStringArray = 8, kI18nString = 9;
constexpr uint32_t kMaxEntries = 0xffff, kMaxData = 256u << 20, kMaxCount = 0xffffff;
constexpr size_t kEntrySize = 16, kRegionSize = 16;

struct Entry {
    uint32_t tag, type, offset, count;
};

// The 16-byte entry at byte `at` of `bytes`.
Entry EntryAt(std::string_view bytes, size_t at) {
    return {BigEndian32(bytes, at), BigEndian32(bytes, at + 4), BigEndian32(bytes, at + 8), BigEndian32(bytes, at + 12)};
}

// The length of an entry's data from `offset`, or 0 when it runs past the data or is
// not of a type a header holds.
size_t DataLength(std::string_view data, const Entry& e) {
    static constexpr uint32_t kAlign[] = {1, 1, 1, 2, 4, 8, 1, 1, 1, 1};
    static constexpr uint32_t kSize[] = {0, 1, 1, 2, 4, 8, 0, 1, 0, 0};
    if (e.type < kChar || e.type > kI18nString || e.offset % kAlign[e.type] || e.offset >= data.size()) return 0;
    if (e.type == kString && e.count != 1) return 0;
    if (e.type != kString && e.type != kStringArray && e.type != kI18nString) {
        const uint64_t length = uint64_t(e.count) * kSize[e.type];
        return length <= data.size() - e.offset ? size_t(length) : 0;
    }
    size_t end = e.offset;
    for (uint32_t i = 0; i < e.count; ++i) {
        const size_t nul = data.find('\0', end);
        if (nul == std::string_view::npos) return 0;
        end = nul + 1;
    }
    return end - e.offset;
}

}  // namespace

std::optional<RpmHeaderFields> ParseRpmHeader(std::string_view blob) {
    if (blob.size() < 8) return std::nullopt;
    const uint32_t il = BigEndian32(blob, 0), dl = BigEndian32(blob, 4);
    if (il == 0 || il > kMaxEntries || dl > kMaxData || blob.size() != 8 + kEntrySize * il + dl) return std::nullopt;
    const std::string_view entries = blob.substr(8, kEntrySize * il), data = blob.substr(8 + kEntrySize * il);

    // The immutable region: the first entry points at a trailer that counts the
    // region's entries (its offset is minus their size) and ends the region's data.
    const Entry region = EntryAt(entries, 0);
    if (region.tag != kTagImmutable || region.type != kBin || region.count != kRegionSize ||
        region.offset > dl || dl - region.offset < kRegionSize)
        return std::nullopt;
    const Entry trailer = EntryAt(data, region.offset);
    const uint32_t regionEntries = (0 - trailer.offset) / kEntrySize;
    if (trailer.tag != kTagImmutable || trailer.type != kBin || trailer.count != kRegionSize ||
        (0 - trailer.offset) % kEntrySize || regionEntries == 0 || regionEntries > il)
        return std::nullopt;
    const size_t regionEnd = region.offset + kRegionSize;

    RpmHeaderFields fields;
    bool seen[7] = {};
    size_t end = 0;
    for (uint32_t i = 1; i < il; ++i) {
        const Entry e = EntryAt(entries, i * kEntrySize);
        if (e.tag < kFirstDataTag || e.count == 0 || e.count > kMaxCount || e.offset < end) return std::nullopt;
        const size_t length = DataLength(data, e);
        if (length == 0) return std::nullopt;
        end = e.offset + length;
        // The region's own entries lie before its trailer, those added later after it.
        if (i < regionEntries ? end > region.offset : e.offset < regionEnd) return std::nullopt;
        const std::string_view value = data.substr(e.offset, length);
        std::string* text = nullptr;
        size_t which = 0;
        switch (e.tag) {
            case kTagName: text = &fields.name, which = 0; break;
            case kTagVersion: text = &fields.version, which = 1; break;
            case kTagRelease: text = &fields.release, which = 2; break;
            case kTagArch: text = &fields.arch, which = 3; break;
            case kTagVendor: text = &fields.vendor, which = 4; break;
            case kTagPackager: text = &fields.packager, which = 5; break;
            case kTagEpoch: which = 6; break;
            default: continue;
        }
        if (seen[which] || e.type != (text ? kString : kInt32) || (!text && e.count != 1)) return std::nullopt;
        seen[which] = true;
        if (text)
            text->assign(value.substr(0, length - 1));
        else
            fields.epoch = BigEndian32(value, 0);
    }
    return fields;
}

}  // namespace velmora
