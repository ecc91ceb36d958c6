#include "registry/RegeditCls.h"

#include "base/Int16.h"
#include "registry/OpenedKey.h"
#include "text/Text.h"

namespace velmora {
namespace {

constexpr uint32_t kTextBufferBytes = 200;
constexpr uint32_t kNameBufferChars = 255;
const String kUnnamedMarker = u"默认";

}  // namespace

String RegeditCls::GetRegStrValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyItem,
                                  const String& strKeyStr) {
    try {
        if (InStr(1, strKeyItem, kUnnamedMarker, Compare::Text) > 0)
            return ReadUnnamedValue(lngTotalKey, strKeyPath, strKeyStr);
        OpenedKey key(platform_, lngTotalKey, strKeyPath, view_, path_);
        if (!key.IsOpen() || !RegistryName(platform_, strKeyItem, item_)) return String();
        char buffer[kTextBufferBytes] = {};
        uint32_t type = kRegNone, size = kTextBufferBytes;
        const int32_t status =
            platform_.registry.RegQueryValueExA(key.Get(), item_.c_str(), &type, reinterpret_cast<uint8_t*>(buffer), &size);
        // A value that does not fit with its terminator is refused by the platform
        // (ERROR_MORE_DATA), so 199 single-byte characters is the longest text read.
        if (status != kErrorSuccess || type != kRegSz) return String();
        return platform_.codec.AnsiTextUpToNull(std::string_view(buffer, kTextBufferBytes));
    } catch (...) {
        return String();  // no registry read fails its caller: each answers its empty value
    }
}

// The unnamed value goes into a buffer of blanks. When it holds "\" + strKeyStr
// the answer is cut at the first blank, so a value without blanks keeps the NUL
// that ended it; callers of this form have always received it so.
String RegeditCls::ReadUnnamedValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyStr) {
    OpenedKey key(platform_, lngTotalKey, strKeyPath, view_, path_);
    if (!key.IsOpen()) return String();
    std::string buffer(kTextBufferBytes, ' ');
    uint32_t type = kRegNone, size = kTextBufferBytes;
    const int32_t status =
        platform_.registry.RegQueryValueExA(key.Get(), "", &type, reinterpret_cast<uint8_t*>(buffer.data()), &size);
    if (status != kErrorSuccess || type != kRegSz) return String();
    const String text = platform_.codec.AnsiToString(buffer);
    if (InStr(1, text, u"\\" + strKeyStr, Compare::Text) > 0) {
        const int64_t blank = InStr(1, text, u" ", Compare::Binary);
        return blank > 0 ? text.substr(0, static_cast<size_t>(blank - 1)) : String();
    }
    return CutAtNull(text);
}

int32_t RegeditCls::GetRegNumValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyItem) {
    try {
        OpenedKey key(platform_, lngTotalKey, strKeyPath, view_, path_);
        if (!key.IsOpen() || !RegistryName(platform_, strKeyItem, item_)) return 0;
        uint32_t type = kRegNone, size = 0;
        if (platform_.registry.RegQueryValueExA(key.Get(), item_.c_str(), &type, nullptr, &size) != kErrorSuccess)
            return 0;
        if (type != kRegDword && type != kRegDwordBigEndian) return 0;
        // Both types are read in the machine's byte order; a big-endian value is not swapped.
        uint8_t bytes[4] = {};
        size = sizeof bytes;
        platform_.registry.RegQueryValueExA(key.Get(), item_.c_str(), &type, bytes, &size);
        return DwordFromBytes(bytes);
    } catch (...) {
        return 0;  // no registry read fails its caller: each answers its empty value
    }
}

bool RegeditCls::EnumKeyEx(int32_t lngTotalKey, const String& strKeyPath, std::vector<String>& names) {
    return EnumNames(lngTotalKey, strKeyPath, names, true);
}

bool RegeditCls::EnumKeyValue(int32_t lngTotalKey, const String& strKeyPath, std::vector<String>& names) {
    return EnumNames(lngTotalKey, strKeyPath, names, false);
}

bool RegeditCls::EnumNames(int32_t lngTotalKey, const String& strKeyPath, std::vector<String>& names, bool subkeys) {
    try {
        names.resize(1);
        OpenedKey key(platform_, lngTotalKey, strKeyPath, view_, path_);
        if (!key.IsOpen()) return false;
        // Any answer but success ends the listing, a name too long for the buffer included.
        std::string name;
        for (int16_t i = 0;; i = ToInt16(i + 1)) {
            name.assign(kNameBufferChars, '\0');  // a fresh buffer each time, in the same storage
            uint32_t size = kNameBufferChars;
            const auto index = static_cast<uint32_t>(i);
            const int32_t status = subkeys ? platform_.registry.RegEnumKeyExA(key.Get(), index, name.data(), size)
                                           : platform_.registry.RegEnumValueA(key.Get(), index, name.data(), size);
            if (status != kErrorSuccess) break;
            names.resize(static_cast<size_t>(ToInt16(i + 1)) + 1);
            names[static_cast<size_t>(i) + 1] = platform_.codec.AnsiTextUpToNull(name);
        }
        return true;
    } catch (...) {
        return false;  // no registry read fails its caller; the names read so far stay
    }
}

}  // namespace velmora
