#pragma once
// The registry reader: text and number values, and the names of a key's subkeys
// or values, in one registry view. Read only; every operation answers an empty value
// instead of failing.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/String.h"
#include "platform/Platform.h"
#include "registry/OpenedKey.h"

namespace velmora {

// A key's subkeys with the key kept open: a listing then reads thousands of subkeys
// without walking the key's path again for each, and without turning each name into
// a String and back.
class SubkeyList {
public:
    size_t Count() const { return names_.Count(); }
    std::string_view Name(size_t i) const { return names_.Name(i); }

private:
    friend class RegeditCls;
    std::optional<OpenedKey> key_;
    int32_t root_ = 0;
    String path_;
    RegistryNames names_;
};

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
    // The same listing as EnumKeyEx, the names kept as the registry gave them (`list`
    // holds them from index 0) and the key left open for AppendSubkeyStrValue.
    bool ListSubkeys(int32_t lngTotalKey, const String& strKeyPath, SubkeyList& list);
    // What GetRegStrValue answers for the path of `list`'s key, a backslash and the
    // name of its subkey `index`, and the value `asciiItem` (no "默认" in it), written
    // onto the end of `out`: many answers make one String without one of their own each.
    void AppendSubkeyStrValue(const SubkeyList& list, size_t index, const char* asciiItem, String& out);

private:
    // Every name of the key's subkeys (values) in the order listed, up to the 32,767
    // the 16-bit counter holds; false once a name beyond it is there.
    bool ListNames(RegKey key, bool subkeys, RegistryNames& names);
    static constexpr uint32_t kTextBufferBytes = 200;
    // A REG_SZ value of at most 200 bytes with its terminator, up to its first NUL.
    String ReadText(RegKey key, const char* item);
    // The text a query answered into `buffer` (none when it failed), onto `out`.
    void AppendTextRead(int32_t status, uint32_t type, const char (&buffer)[kTextBufferBytes], uint32_t size,
                        String& out);
    String ReadUnnamedValue(int32_t lngTotalKey, const String& strKeyPath, const String& strKeyStr);
    bool EnumNames(int32_t lngTotalKey, const String& strKeyPath, std::vector<String>& names, bool subkeys);

    Platform& platform_;
    RegView view_;
    // Paths and names in the code page, kept across calls: a reader asked thousands of
    // times converts into the same storage.
    std::string path_, item_;
};

}  // namespace velmora
