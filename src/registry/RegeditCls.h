#pragma once
// The registry reader: text and number values, and the names of a key's subkeys
// or values, in one registry view. Read only; every operation answers an empty value
// instead of failing.
#include <cstdint>
#include <vector>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

class RegeditCls {
public:
    explicit RegeditCls(Platform& platform, RegView view = RegView::Own) : platform_(platform), view_(view) {}

    // A REG_SZ value of at most 200 bytes with its terminator, up to its first NUL.
    // A `strKeyItem` containing "默认" reads the key's unnamed value instead.
    String GetRegStrValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyItem,
                          const String& strKeyStr = u"vb");
    // A REG_DWORD or REG_DWORD_BIG_ENDIAN value, its bytes read little-endian; else 0.
    int32_t GetRegNumValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyItem);
    // Names of the key's subkeys (values) at indices 1..n; index 0 is kept. False
    // when the key cannot be opened, or when the listing outgrows its 16-bit counter
    // (the names listed so far stay).
    bool EnumKeyEx(int32_t lngTotalKey, const String& strKeyPath, std::vector<String>& names);
    bool EnumKeyValue(int32_t lngTotalKey, const String& strKeyPath, std::vector<String>& names);

private:
    String ReadUnnamedValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyStr);
    bool EnumNames(int32_t lngTotalKey, const String& strKeyPath, std::vector<String>& names, bool subkeys);

    Platform& platform_;
    RegView view_;
    // Paths and names in the code page, kept across calls: a reader asked thousands of
    // times converts into the same storage.
    std::string path_, item_;
};

}  // namespace velmora
