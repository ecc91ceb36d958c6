#include "registry/RegeditCls.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "registry/OpenedKey.h"
#include "text/Text.h"

namespace velmora {
namespace {

constexpr uint32_t kNameBufferChars = 255;
constexpr size_t kMostNames = INT16_MAX;  // a listing's 16-bit counter
const String kUnnamedMarker = u"默认";

// Not empty, every byte ASCII and none a backslash: eight bytes at a time, the
// last eight overlapping those before.
bool PlainName(std::string_view name) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    const auto bad = [](uint64_t w) {
        const uint64_t x = w ^ (kOnes * '\\');  // a zero byte where w has a backslash
        return (w & kHigh) | ((x - kOnes) & ~x & kHigh);
    };
    if (name.size() < 8) {
        for (const char c : name)
            if (static_cast<unsigned char>(c) >= 0x80 || c == '\\') return false;
        return !name.empty();
    }
    uint64_t found = 0, word;
    for (size_t i = 0; i + 8 <= name.size(); i += 8) {
        std::memcpy(&word, name.data() + i, 8);
        found |= bad(word);
    }
    std::memcpy(&word, name.data() + name.size() - 8, 8);
    return (found | bad(word)) == 0;
}

}  // namespace

String RegeditCls::GetRegStrValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyItem,
                                  const String& strKeyStr) {
    try {
        if (InStr(1, strKeyItem, kUnnamedMarker, Compare::Text) > 0)
            return ReadUnnamedValue(lngTotalKey, strKeyPath, strKeyStr);
        OpenedKey key(platform_, lngTotalKey, strKeyPath, view_, path_);
        if (!key.IsOpen() || !RegistryName(platform_, strKeyItem, item_)) return String();
        return ReadText(key.Get(), item_.c_str());
    } catch (...) {
        return String();  // no registry read fails its caller: each answers its empty value
    }
}

void RegeditCls::AppendSubkeyStrValue(const SubkeyList& list, size_t index, const char* asciiItem, String& out) {
    const size_t before = out.size();
    try {
        const std::string_view name = list.Name(index);
        // Only a plain one-level ASCII name is the same bytes after a trip through the
        // code page and names the same key from its parent; any other takes the path.
        if (!PlainName(name)) {
            String path = list.path_;
            path.append(1, u'\\').append(platform_.codec.AnsiTextUpToNull(name));
            out += GetRegStrValue(list.root_, path, FromAscii(asciiItem));
            return;
        }
        char buffer[kTextBufferBytes];
        uint32_t type = kRegNone, size = kTextBufferBytes;
        const int32_t status = platform_.registry.RegQuerySubkeyValueA(
            list.key_->Get(), list.names_.Terminated(index), asciiItem, &type, reinterpret_cast<uint8_t*>(buffer), &size, view_);
        AppendTextRead(status, type, buffer, size, out);
    } catch (...) {
        out.resize(before);  // no registry read fails its caller: each answers its empty value
    }
}

String RegeditCls::ReadText(RegKey key, const char* item) {
    char buffer[kTextBufferBytes];
    uint32_t type = kRegNone, size = kTextBufferBytes;
    const int32_t status =
        platform_.registry.RegQueryValueExA(key, item, &type, reinterpret_cast<uint8_t*>(buffer), &size);
    String text;
    AppendTextRead(status, type, buffer, size, text);
    return text;
}

void RegeditCls::AppendTextRead(int32_t status, uint32_t type, const char (&buffer)[kTextBufferBytes], uint32_t size,
                                String& out) {
    // A value that does not fit with its terminator is refused by the platform
    // (ERROR_MORE_DATA), so 199 single-byte characters is the longest text read. The
    // text ends at its first NUL or its last byte, as in a buffer cleared before.
    if (status != kErrorSuccess || type != kRegSz) return;
    platform_.codec.AppendAnsiTextUpToNull(std::string_view(buffer, std::min(size, kTextBufferBytes)), out);
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
        RegistryNames listed;
        bool whole = false;
        try {
            whole = ListNames(key.Get(), subkeys, listed);
        } catch (...) {
            // the names listed so far are still answered
        }
        names.reserve(listed.Count() + 1);
        for (size_t i = 0; i < listed.Count(); ++i) names.push_back(platform_.codec.AnsiTextUpToNull(listed.Name(i)));
        return whole;
    } catch (...) {
        return false;  // no registry read fails its caller; the names read so far stay
    }
}

bool RegeditCls::ListSubkeys(int32_t lngTotalKey, const String& strKeyPath, SubkeyList& list) {
    list.key_.reset();
    list.names_.Clear();
    try {
        list.root_ = lngTotalKey;
        list.path_ = strKeyPath;
        list.key_.emplace(platform_, lngTotalKey, strKeyPath, view_, path_);
        return list.key_->IsOpen() && ListNames(list.key_->Get(), true, list.names_);
    } catch (...) {
        return false;  // no registry read fails its caller; the names read so far stay
    }
}

bool RegeditCls::ListNames(RegKey key, bool subkeys, RegistryNames& names) {
    // Any answer but success ends the listing, a name too long for the buffer included;
    // success is a name more than the counter holds.
    return platform_.registry.RegEnumNamesA(key, subkeys, kNameBufferChars, kMostNames, names) != kErrorSuccess;
}

}  // namespace velmora
