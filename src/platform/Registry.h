#pragma once
// Registry family: the ANSI registry reads RegOpenKeyA, RegQueryValueExA,
// RegEnumKeyExA, RegEnumValueA and RegCloseKey, read only, with Win32 status codes,
// and whether the machine keeps two registry views.
// Names and text data are bytes in the ANSI code page, NUL-terminated as the A
// functions take them.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// An opened key or a predefined root, opaque to the workers.
using RegKey = std::uintptr_t;

// Predefined roots as the 32-bit values callers pass; widened as Windows widens them.
inline constexpr int32_t kHKeyClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kHKeyCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kHKeyLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kHKeyUsers = static_cast<int32_t>(0x80000003u);
inline RegKey RootKey(int32_t value) { return static_cast<RegKey>(static_cast<std::intptr_t>(value)); }

// The locations that the readers look up and that a backend with a registry of its
// own fills, named once for both sides.
inline constexpr char kRegProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
inline constexpr char kRegProcessorName[] = "ProcessorNameString";
inline constexpr char kRegUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kRegDisplayName[] = "DisplayName";

// Value types.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegDwordBigEndian = 5;
inline constexpr uint32_t kRegMultiSz = 7;

// Status codes, as the Win32 registry functions answer them.
inline constexpr int32_t kErrorSuccess = 0;
inline constexpr int32_t kErrorFileNotFound = 2;
inline constexpr int32_t kErrorAccessDenied = 5;
inline constexpr int32_t kErrorInvalidHandle = 6;
inline constexpr int32_t kErrorInvalidParameter = 87;
inline constexpr int32_t kErrorBadPathname = 161;
inline constexpr int32_t kErrorMoreData = 234;
inline constexpr int32_t kErrorNoMoreItems = 259;

// The registry view an open reads. 64-bit Windows keeps HKLM\SOFTWARE twice, for
// 64-bit and for 32-bit programs; Own is the opening process's, the only one elsewhere.
enum class RegView { Own, Wide64, Wow32 };

// Names as the registry gave them, in the code page, kept back to back, each ended by a NUL.
class RegistryNames {
public:
    size_t Count() const { return starts_.size(); }
    std::string_view Name(size_t i) const {
        const size_t end = i + 1 < starts_.size() ? starts_[i + 1] : bytes_.size();
        return std::string_view(bytes_).substr(starts_[i], end - starts_[i] - 1);
    }
    // The same name with its NUL after it, as the registry calls take it.
    const char* Terminated(size_t i) const { return bytes_.data() + starts_[i]; }
    void Add(std::string_view name) {
        starts_.push_back(static_cast<uint32_t>(bytes_.size()));
        bytes_.append(name).push_back('\0');
    }
    void Clear() {
        bytes_.clear();
        starts_.clear();
    }

private:
    std::string bytes_;
    std::vector<uint32_t> starts_;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Opens `subKey` (a backslash path, or empty/null for `key` itself) under an
    // opened key or a predefined root; `result` is set only on success. A view other
    // than Own matters from a predefined root (an opened key stays in its view) and
    // is asked for only where HasTwoViews says there are two.
    virtual int32_t RegOpenKeyA(RegKey key, const char* subKey, RegKey& result, RegView view = RegView::Own) = 0;
    // Reads value `valueName` (empty/null: the key's unnamed value). `type` receives
    // the type when not null. With `data` null and `dataSize` not null, answers the
    // size only. A value larger than *dataSize is not copied: ERROR_MORE_DATA with
    // *dataSize set to the size needed. On success *dataSize is the size copied.
    virtual int32_t RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type, uint8_t* data,
                                     uint32_t* dataSize) = 0;
    // The name of subkey (or value) number `index`, counted from 0 in enumeration
    // order. `nameSize` is the buffer's size in characters, terminator included;
    // a name that does not fit gives ERROR_MORE_DATA, past the last entry
    // ERROR_NO_MORE_ITEMS. On success `nameSize` is the name's length without the NUL.
    virtual int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) = 0;
    virtual int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) = 0;
    virtual int32_t RegCloseKey(RegKey key) = 0;
    // The names of `key`'s subkeys (values, when not `subkeys`) from number
    // names.Count() on, added in enumeration order: what RegEnumKeyExA (RegEnumValueA)
    // answers index by index with a buffer of `bufferChars`, each name up to a NUL in
    // it. Ends at the first call that fails, answering its status, or with success
    // once `most` names are held and one more is there. A backend may list them all
    // in one step.
    virtual int32_t RegEnumNamesA(RegKey key, bool subkeys, uint32_t bufferChars, size_t most, RegistryNames& names) {
        std::string name(bufferChars, '\0');
        for (;;) {
            uint32_t size = bufferChars;
            const auto index = static_cast<uint32_t>(names.Count());
            const int32_t status = subkeys ? RegEnumKeyExA(key, index, name.data(), size)
                                           : RegEnumValueA(key, index, name.data(), size);
            if (status != kErrorSuccess || names.Count() >= most) return status;
            names.Add(std::string_view(name.data(), std::min<size_t>(size, bufferChars)).substr(0, name.find('\0')));
        }
    }
    // A value of a subkey: what RegOpenKeyA of the non-empty `subKey` in `view`, then
    // RegQueryValueExA and RegCloseKey answer together (the open's failure, else the
    // query's answer). A backend may answer it without making a handle.
    virtual int32_t RegQuerySubkeyValueA(RegKey key, const char* subKey, const char* valueName, uint32_t* type,
                                         uint8_t* data, uint32_t* dataSize, RegView view = RegView::Own) {
        RegKey opened = 0;
        const int32_t status = RegOpenKeyA(key, subKey, opened, view);
        if (status != kErrorSuccess) return status;
        const int32_t answer = RegQueryValueExA(opened, valueName, type, data, dataSize);
        RegCloseKey(opened);
        return answer;
    }
    // True on 64-bit Windows, for a process of either width.
    virtual bool HasTwoViews() = 0;
    // A public call begins (or ends) on this thread. A backend that checks its
    // sources for changes may then check once a call rather than at every open.
    virtual void CallBegins() {}
    virtual void CallEnds() {}
};

// One public call, told to the registry for as long as it lives.
class RegistryCall {
public:
    explicit RegistryCall(IRegistry& registry) : registry_(registry) { registry_.CallBegins(); }
    ~RegistryCall() { registry_.CallEnds(); }
    RegistryCall(const RegistryCall&) = delete;
    RegistryCall& operator=(const RegistryCall&) = delete;

private:
    IRegistry& registry_;
};

}  // namespace velmora
