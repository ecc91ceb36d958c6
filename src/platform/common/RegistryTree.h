#pragma once
// A read-only registry held in memory, for the platforms that have none: the
// Linux backend fills it from real sources, the fake from each test. It keeps the
// Win32 semantics the readers rely on:
// - names compare without regard to ASCII letter case (other bytes exactly);
// - subkeys and values enumerate in the order they were added (insertion order;
//   Windows itself lists subkeys sorted, which no reader depends on);
// - a key marked unopenable is listed by its parent but opening it answers
//   ERROR_ACCESS_DENIED, as a key whose permissions refuse reading;
// - value data are the stored bytes, whatever the type claims.
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/Arena.h"
#include "base/Mutex.h"
#include "platform/Registry.h"

namespace velmora {

// A value's name and bytes lie in the memory of the key that holds it.
struct RegistryValue {
    std::string_view name;  // empty: the key's unnamed value
    uint32_t type = kRegNone;
    std::string_view data;
};

// A key, its subkeys and its values, all kept in one memory: a tree's arena, or the
// heap for a key standing alone (no arena).
class RegistryKey {
public:
    explicit RegistryKey(std::string_view name = {}, Arena* arena = nullptr);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    std::string_view Name() const { return name_; }
    // Follows, creating where missing, each level of a backslash path (empty
    // levels are skipped); answers the last key.
    RegistryKey& Add(std::string_view path);
    const RegistryKey* Find(std::string_view name) const;
    // Where Find's key stands among Subkeys(), or kNoSubkey.
    size_t IndexOf(std::string_view name) const;
    static constexpr size_t kNoSubkey = ~size_t{0};
    // The subkey `name` (one level: not empty, no backslash) newly added; null when
    // one of that name is there already or the name is not one level.
    RegistryKey* AddNew(std::string_view name);
    // Room for `count` more subkeys: a source adding thousands grows its index once.
    void ReserveSubkeys(size_t count);

    // Sets a value, replacing one of the same name in its place.
    void SetValue(std::string_view name, uint32_t type, std::string_view data);
    // REG_SZ with its terminating NUL.
    void SetString(std::string_view name, std::string_view text);
    // REG_DWORD, stored little-endian.
    void SetDword(std::string_view name, uint32_t value);
    const RegistryValue* FindValue(std::string_view name) const;

    const std::pmr::vector<RegistryKey*>& Subkeys() const { return subkeys_; }
    const std::pmr::vector<RegistryValue>& Values() const { return values_; }

    bool openable = true;

private:
    RegistryKey(std::string_view name, uint64_t hash, Arena* arena);
    // The name's bytes hashed with ASCII letters lower-cased, as names compare.
    static uint64_t FoldedHash(std::string_view name);
    // The slot that holds the subkey `name`, or the empty one where it would go.
    uint32_t& Slot(std::string_view name, uint64_t hash) const;
    // Slots for at least `count` subkeys, at most half of them in use.
    void MakeRoom(size_t count);
    RegistryKey& Append(std::string_view name, uint64_t hash, uint32_t& slot);
    // The value of that name, added empty at the end when there is none.
    RegistryValue& ValueNamed(std::string_view name);
    // `text` copied into this key's memory, and a NUL after it when `nul`; the copy of
    // an empty text takes none.
    std::string_view Keep(std::string_view text, bool nul = false);
    void Release(std::string_view kept);

    // The tree's arena, or the heap.
    std::pmr::memory_resource* Memory() const {
        return tree_ ? static_cast<std::pmr::memory_resource*>(tree_) : std::pmr::new_delete_resource();
    }

    Arena* tree_;  // null: the heap
    std::string_view name_;  // kept
    uint64_t hash_;  // FoldedHash(name_)
    std::pmr::vector<RegistryKey*> subkeys_;  // owned: made in the arena, destroyed with this key
    // The subkeys' index: open addressing, each slot a position in subkeys_ plus one
    // (0: empty); a lookup allocates nothing, and an added key costs no node.
    mutable std::pmr::vector<uint32_t> slots_;
    std::pmr::vector<RegistryValue> values_;
};

class RegistryTree {
public:
    RegistryTree();
    RegistryTree(const RegistryTree&) = delete;
    RegistryTree& operator=(const RegistryTree&) = delete;

    // The root for a predefined root-key value (HKCR, HKCU, HKLM, HKU); null otherwise.
    RegistryKey* Root(int32_t rootKey);
    const RegistryKey* Root(int32_t rootKey) const;
    RegistryKey& LocalMachine() { return localMachine_; }

private:
    // Every key, name and value of the tree: taken in large blocks as it is built, and
    // given back all at once with the tree, not a piece at a time.
    Arena arena_;
    RegistryKey classesRoot_, currentUser_, localMachine_, users_;
};

// IRegistry over a tree. Each open from a predefined root takes the tree the
// source answers at that moment; a handle keeps its tree alive until it is
// closed, so a source may swap in a fresh tree at any time.
class TreeRegistry : public IRegistry {
public:
    using Source = std::function<std::shared_ptr<const RegistryTree>()>;
    explicit TreeRegistry(Source source) : source_(std::move(source)) {}

    int32_t RegOpenKeyA(RegKey key, const char* subKey, RegKey& result, RegView view = RegView::Own) override;
    int32_t RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type, uint8_t* data,
                             uint32_t* dataSize) override;
    int32_t RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) override;
    int32_t RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) override;
    // Under one lock, without a call per name.
    int32_t RegEnumNamesA(RegKey key, bool subkeys, uint32_t bufferChars, size_t most, RegistryNames& names) override;
    int32_t RegCloseKey(RegKey key) override;
    int32_t RegQuerySubkeyValueA(RegKey key, const char* subKey, const char* valueName, uint32_t* type,
                                 uint8_t* data, uint32_t* dataSize, RegView view = RegView::Own) override;
    // One view: every view opens the same tree.
    bool HasTwoViews() override { return false; }

    // Handles opened and not yet closed (tests check that readers close every key).
    size_t OpenHandleCount() const;

protected:
    // The tree a predefined root opens in `view`; the source's, whatever the view.
    virtual std::shared_ptr<const RegistryTree> ViewTree(RegView view);

private:
    struct Opened {
        std::shared_ptr<const RegistryTree> tree;
        const RegistryKey* key = nullptr;
    };
    // The open key a handle or a predefined root names; a root's is made in `root`.
    // Null for neither.
    const Opened* Resolve(RegKey key, Opened& root, RegView view = RegView::Own);
    // The key `subKey` leads to from `opened`, or the status that refuses it.
    int32_t Subkey(const Opened& opened, const char* subKey, const RegistryKey*& found);
    static int32_t QueryValue(const RegistryKey& key, const char* valueName, uint32_t* type, uint8_t* data,
                              uint32_t* dataSize);
    static int32_t CopyName(std::string_view from, char* name, uint32_t& nameSize);

    // The key a path's levels up to its last backslash led to, last time: readers open
    // many keys under one parent, and a tree never loses a key, so the walk starts there.
    struct Walked {
        std::weak_ptr<const RegistryTree> tree;
        const RegistryKey* from = nullptr;
        std::string parentPath;
        const RegistryKey* parent = nullptr;
    };
    const RegistryKey* Walk(const Opened& opened, std::string_view path);
    // `key`'s subkey `name` (one level). A reader going through a key's subkeys reads
    // them in their order, so the one after the last found is tried first, by its
    // exact name, before any hashing: a guess checked against the key itself.
    const RegistryKey* Level(const RegistryKey& key, std::string_view name);
    struct Ahead {
        const RegistryKey* from = nullptr;
        size_t index = 0;
    };

    Source source_;
    mutable Mutex mutex_;
    Walked walked_;
    Ahead ahead_;
    std::map<RegKey, Opened> handles_;
    // A closed handle's node, kept for the next open: hosts open and close keys by
    // the thousand, and the node then costs no allocation.
    std::map<RegKey, Opened>::node_type spare_;
    RegKey next_ = kFirstHandle;
    static constexpr RegKey kFirstHandle = 0x1000;
    static constexpr RegKey kLastHandle = 0x7FFFFFF0;  // below every predefined root
};

}  // namespace velmora
