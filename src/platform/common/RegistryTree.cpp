#include "platform/common/RegistryTree.h"

#include <algorithm>
#include <cstring>

#include "text/Text.h"

namespace velmora {
namespace {

// A handle value that is one of the predefined roots, widened from its 32 bits.
bool IsPredefinedRoot(RegKey key, int32_t& rootKey) {
    rootKey = static_cast<int32_t>(static_cast<uint32_t>(key));
    return RootKey(rootKey) == key && (rootKey == kHKeyClassesRoot || rootKey == kHKeyCurrentUser ||
                                       rootKey == kHKeyLocalMachine || rootKey == kHKeyUsers);
}

}  // namespace

RegistryKey::RegistryKey(std::string_view name, Arena* arena) : RegistryKey(name, FoldedHash(name), arena) {}

RegistryKey::RegistryKey(std::string_view name, uint64_t hash, Arena* arena)
    : tree_(arena), name_(Keep(name)), hash_(hash), subkeys_(Memory()), slots_(Memory()), values_(Memory()) {}

RegistryKey::~RegistryKey() {
    // A tree's keys, names and values go with its arena all at once, which gives back
    // whatever they would: only a key on the heap returns its parts one by one.
    if (tree_ != nullptr) return;
    for (RegistryKey* key : subkeys_) {
        key->~RegistryKey();
        Memory()->deallocate(key, sizeof(RegistryKey), alignof(RegistryKey));
    }
    for (const RegistryValue& value : values_) {
        Release(value.name);
        Release(value.data);
    }
    Release(name_);
}

std::string_view RegistryKey::Keep(std::string_view text, bool nul) {
    const size_t size = text.size() + (nul ? 1 : 0);
    if (size == 0) return {};
    char* kept = static_cast<char*>(tree_ ? tree_->Take(size, 1) : Memory()->allocate(size, 1));
    if (!text.empty()) std::memcpy(kept, text.data(), text.size());
    if (nul) kept[text.size()] = '\0';
    return {kept, size};
}

void RegistryKey::Release(std::string_view kept) {
    if (!tree_ && !kept.empty()) Memory()->deallocate(const_cast<char*>(kept.data()), kept.size(), 1);
}

uint64_t RegistryKey::FoldedHash(std::string_view name) {
    // The lower-cased bytes eight at a time, each word mixed in by a multiply and a shift.
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
    const auto mix = [&hash](uint64_t word) {
        hash = (hash ^ AsciiLower8(word)) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    };
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, name.data() + i, 8);  // a fixed size: one load, not a call
        mix(word);
    }
    if (i < name.size()) {
        uint64_t word = 0;
        if (name.size() >= 8) {  // the last eight bytes, shifted down to the tail alone
            std::memcpy(&word, name.data() + name.size() - 8, 8);
            word >>= 8 * (8 - (name.size() - i));
        } else {
            for (size_t k = i; k < name.size(); ++k) word |= uint64_t(uint8_t(name[k])) << (8 * (k - i));
        }
        mix(word);
    }
    return hash;
}

uint32_t& RegistryKey::Slot(std::string_view name, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        uint32_t& slot = slots_[at];
        if (slot == 0) return slot;
        const RegistryKey& key = *subkeys_[slot - 1];
        if (key.hash_ == hash && SameIgnoringAsciiCase(key.name_, name)) return slot;
    }
}

void RegistryKey::MakeRoom(size_t count) {
    if (count * 2 <= slots_.size()) return;
    size_t size = 8;
    while (size < count * 2) size *= 2;
    slots_.assign(size, 0);
    for (size_t i = 0; i < subkeys_.size(); ++i) Slot(subkeys_[i]->name_, subkeys_[i]->hash_) = static_cast<uint32_t>(i + 1);
}

RegistryKey& RegistryKey::Append(std::string_view name, uint64_t hash, uint32_t& slot) {
    // Room first, so the key made next is never left unowned; grown by doubling, as
    // push_back would, since reserve takes exactly what it is asked for.
    if (subkeys_.size() == subkeys_.capacity()) subkeys_.reserve(std::max<size_t>(4, 2 * subkeys_.size()));
    void* place = tree_ ? tree_->Take(sizeof(RegistryKey), alignof(RegistryKey))
                        : Memory()->allocate(sizeof(RegistryKey), alignof(RegistryKey));
    RegistryKey* added;
    try {
        added = new (place) RegistryKey(name, hash, tree_);
    } catch (...) {
        Memory()->deallocate(place, sizeof(RegistryKey), alignof(RegistryKey));
        throw;
    }
    subkeys_.push_back(added);
    slot = static_cast<uint32_t>(subkeys_.size());
    return *added;
}

RegistryKey& RegistryKey::Add(std::string_view path) {
    RegistryKey* key = this;
    while (!path.empty()) {
        const size_t cut = path.find('\\');
        const std::string_view level = path.substr(0, cut);
        path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
        if (level.empty()) continue;
        key->MakeRoom(key->subkeys_.size() + 1);
        const uint64_t hash = FoldedHash(level);
        uint32_t& slot = key->Slot(level, hash);
        key = slot != 0 ? key->subkeys_[slot - 1] : &key->Append(level, hash, slot);
    }
    return *key;
}

RegistryKey* RegistryKey::AddNew(std::string_view name) {
    if (name.empty() || name.find('\\') != std::string_view::npos) return nullptr;
    MakeRoom(subkeys_.size() + 1);
    const uint64_t hash = FoldedHash(name);
    uint32_t& slot = Slot(name, hash);
    return slot != 0 ? nullptr : &Append(name, hash, slot);
}

void RegistryKey::ReserveSubkeys(size_t count) {
    subkeys_.reserve(subkeys_.size() + count);
    MakeRoom(subkeys_.size() + count);
}

const RegistryKey* RegistryKey::Find(std::string_view name) const {
    const size_t index = IndexOf(name);
    return index == kNoSubkey ? nullptr : subkeys_[index];
}

size_t RegistryKey::IndexOf(std::string_view name) const {
    if (subkeys_.empty()) return kNoSubkey;
    const uint32_t slot = Slot(name, FoldedHash(name));
    return slot == 0 ? kNoSubkey : slot - 1;
}

RegistryValue& RegistryKey::ValueNamed(std::string_view name) {
    for (auto& value : values_)
        if (SameIgnoringAsciiCase(value.name, name)) return value;
    // Keys hold a few values: grown once, not three times, and before the name is kept,
    // so that nothing can fail between keeping it and storing it.
    if (values_.size() == values_.capacity()) values_.reserve(values_.empty() ? 3 : 2 * values_.size());
    const std::string_view kept = tree_ ? tree_->Shared(name) : Keep(name);  // a tree's are never let go
    return values_.emplace_back(RegistryValue{kept, kRegNone, {}});
}

void RegistryKey::SetValue(std::string_view name, uint32_t type, std::string_view data) {
    RegistryValue& value = ValueNamed(name);
    const std::string_view old = value.data;  // let go only once the new bytes are in
    value.data = Keep(data);
    value.type = type;
    Release(old);
}

void RegistryKey::SetString(std::string_view name, std::string_view text) {
    RegistryValue& value = ValueNamed(name);
    const std::string_view old = value.data;
    value.data = Keep(text, true);
    value.type = kRegSz;
    Release(old);
}

void RegistryKey::SetDword(std::string_view name, uint32_t value) {
    char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    SetValue(name, kRegDword, std::string_view(bytes, 4));
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
    for (const auto& value : values_)
        if (SameIgnoringAsciiCase(value.name, name)) return &value;
    return nullptr;
}

RegistryTree::RegistryTree()
    : classesRoot_({}, &arena_), currentUser_({}, &arena_), localMachine_({}, &arena_),
      users_({}, &arena_) {}

RegistryKey* RegistryTree::Root(int32_t rootKey) {
    switch (rootKey) {
        case kHKeyClassesRoot: return &classesRoot_;
        case kHKeyCurrentUser: return &currentUser_;
        case kHKeyLocalMachine: return &localMachine_;
        case kHKeyUsers: return &users_;
        default: return nullptr;
    }
}

const RegistryKey* RegistryTree::Root(int32_t rootKey) const { return const_cast<RegistryTree*>(this)->Root(rootKey); }

std::shared_ptr<const RegistryTree> TreeRegistry::ViewTree(RegView) { return source_(); }

const TreeRegistry::Opened* TreeRegistry::Resolve(RegKey key, Opened& root, RegView view) {
    const auto found = handles_.find(key);
    if (found != handles_.end()) return &found->second;
    int32_t narrow = 0;
    if (!IsPredefinedRoot(key, narrow)) return nullptr;
    auto tree = ViewTree(view);
    const RegistryKey* node = tree ? tree->Root(narrow) : nullptr;
    if (node == nullptr) return nullptr;
    root = {std::move(tree), node};
    return &root;
}

int32_t TreeRegistry::Subkey(const Opened& opened, const char* subKey, const RegistryKey*& found) {
    std::string_view path = subKey;
    if (path.front() == '\\') return kErrorBadPathname;
    if (path.back() == '\\') path.remove_suffix(1);
    found = Walk(opened, path);
    if (found == nullptr) return kErrorFileNotFound;
    return found->openable ? kErrorSuccess : kErrorAccessDenied;
}

int32_t TreeRegistry::RegOpenKeyA(RegKey key, const char* subKey, RegKey& result, RegView view) {
    std::lock_guard lock(mutex_);
    Opened root;
    const Opened* opened = Resolve(key, root, view);
    if (opened == nullptr) return kErrorInvalidHandle;
    if (subKey == nullptr || *subKey == '\0') {  // Win32 hands back the very handle it was given
        result = key;
        return kErrorSuccess;
    }
    const RegistryKey* node = nullptr;
    if (const int32_t status = Subkey(*opened, subKey, node); status != kErrorSuccess) return status;
    // Handles are numbered upwards, so a new one goes after every open one until the
    // numbers wrap; only then are they looked for one by one.
    if (!handles_.empty() && handles_.rbegin()->first >= next_)
        while (handles_.count(next_) != 0) next_ = next_ >= kLastHandle ? kFirstHandle : next_ + 4;
    result = next_;
    if (spare_) {
        spare_.key() = next_;
        spare_.mapped() = Opened{opened->tree, node};
        handles_.insert(handles_.end(), std::move(spare_));
        spare_ = {};
    } else {
        handles_.emplace_hint(handles_.end(), next_, Opened{opened->tree, node});
    }
    next_ = next_ >= kLastHandle ? kFirstHandle : next_ + 4;
    return kErrorSuccess;
}

int32_t TreeRegistry::RegQuerySubkeyValueA(RegKey key, const char* subKey, const char* valueName, uint32_t* type,
                                           uint8_t* data, uint32_t* dataSize, RegView view) {
    // An empty path opens the key itself, whose closing the caller did not ask for.
    if (subKey == nullptr || *subKey == '\0')
        return IRegistry::RegQuerySubkeyValueA(key, subKey, valueName, type, data, dataSize, view);
    std::lock_guard lock(mutex_);
    Opened root;
    const Opened* opened = Resolve(key, root, view);
    if (opened == nullptr) return kErrorInvalidHandle;
    const RegistryKey* node = nullptr;
    if (const int32_t status = Subkey(*opened, subKey, node); status != kErrorSuccess) return status;
    return QueryValue(*node, valueName, type, data, dataSize);
}

const RegistryKey* TreeRegistry::Walk(const Opened& opened, std::string_view path) {
    if (std::memchr(path.data(), '\\', path.size()) == nullptr) return Level(*opened.key, path);
    // The parent reached last time serves a path that is that parent's path, a
    // backslash and one level more. Same owner, same tree: a tree gone keeps its
    // control block while the weak pointer lives, so no new tree can match it.
    const std::string& last = walked_.parentPath;
    if (walked_.from == opened.key && path.size() > last.size() + 1 && path[last.size()] == '\\' &&
        path.starts_with(last) && !walked_.tree.owner_before(opened.tree) && !opened.tree.owner_before(walked_.tree)) {
        const std::string_view level = path.substr(last.size() + 1);
        if (level.find('\\') == std::string_view::npos) return Level(*walked_.parent, level);
    }
    const size_t lastCut = path.rfind('\\');
    const std::string_view parentPath = path.substr(0, lastCut);
    const RegistryKey* node = opened.key;
    for (std::string_view rest = parentPath; node != nullptr;) {
        const size_t cut = rest.find('\\');
        node = node->Find(rest.substr(0, cut));
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    if (node == nullptr) return nullptr;
    walked_ = {opened.tree, opened.key, std::string(parentPath), node};
    return Level(*node, path.substr(lastCut + 1));
}

const RegistryKey* TreeRegistry::Level(const RegistryKey& key, std::string_view name) {
    // Names are unique without regard to case, so the one of these very bytes is the one.
    const auto& subkeys = key.Subkeys();
    size_t index = ahead_.index;
    if (ahead_.from != &key || index >= subkeys.size() || subkeys[index]->Name() != name) {
        index = key.IndexOf(name);
        if (index == RegistryKey::kNoSubkey) return nullptr;
    }
    ahead_ = {&key, index + 1};
    return subkeys[index];
}

int32_t TreeRegistry::RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type, uint8_t* data,
                                       uint32_t* dataSize) {
    std::lock_guard lock(mutex_);
    Opened root;
    const Opened* opened = Resolve(key, root);
    return opened == nullptr ? kErrorInvalidHandle : QueryValue(*opened->key, valueName, type, data, dataSize);
}

int32_t TreeRegistry::QueryValue(const RegistryKey& key, const char* valueName, uint32_t* type, uint8_t* data,
                                 uint32_t* dataSize) {
    if (data != nullptr && dataSize == nullptr) return kErrorInvalidParameter;
    const RegistryValue* value = key.FindValue(valueName ? valueName : "");
    if (value == nullptr) return kErrorFileNotFound;
    if (type != nullptr) *type = value->type;
    if (dataSize == nullptr) return kErrorSuccess;
    const auto size = static_cast<uint32_t>(value->data.size());
    if (data != nullptr && size > *dataSize) {
        *dataSize = size;
        return kErrorMoreData;
    }
    if (data != nullptr && size != 0) std::memcpy(data, value->data.data(), size);  // empty data has no bytes at all
    *dataSize = size;
    return kErrorSuccess;
}

int32_t TreeRegistry::CopyName(std::string_view from, char* name, uint32_t& nameSize) {
    if (name == nullptr) return kErrorInvalidParameter;
    if (from.size() >= nameSize) return kErrorMoreData;  // the terminator must fit too
    if (!from.empty()) std::memcpy(name, from.data(), from.size());  // the unnamed value's name has no bytes at all
    name[from.size()] = '\0';
    nameSize = static_cast<uint32_t>(from.size());
    return kErrorSuccess;
}

int32_t TreeRegistry::RegEnumKeyExA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) {
    std::lock_guard lock(mutex_);
    Opened root;
    const Opened* opened = Resolve(key, root);
    if (opened == nullptr) return kErrorInvalidHandle;
    const auto& subkeys = opened->key->Subkeys();
    if (index >= subkeys.size()) return kErrorNoMoreItems;
    return CopyName(subkeys[index]->Name(), name, nameSize);
}

int32_t TreeRegistry::RegEnumValueA(RegKey key, uint32_t index, char* name, uint32_t& nameSize) {
    std::lock_guard lock(mutex_);
    Opened root;
    const Opened* opened = Resolve(key, root);
    if (opened == nullptr) return kErrorInvalidHandle;
    const auto& values = opened->key->Values();
    if (index >= values.size()) return kErrorNoMoreItems;
    return CopyName(values[index].name, name, nameSize);
}

int32_t TreeRegistry::RegEnumNamesA(RegKey key, bool subkeys, uint32_t bufferChars, size_t most,
                                    RegistryNames& names) {
    std::lock_guard lock(mutex_);
    Opened root;
    const Opened* opened = Resolve(key, root);
    if (opened == nullptr) return kErrorInvalidHandle;
    const RegistryKey& node = *opened->key;
    const size_t count = subkeys ? node.Subkeys().size() : node.Values().size();
    for (size_t i = names.Count(); i < count; i = names.Count()) {
        const std::string_view name = subkeys ? node.Subkeys()[i]->Name() : node.Values()[i].name;
        if (name.size() >= bufferChars) return kErrorMoreData;  // as CopyName: its NUL must fit too
        if (names.Count() >= most) return kErrorSuccess;
        names.Add(name.substr(0, name.find('\0')));
    }
    return kErrorNoMoreItems;
}

int32_t TreeRegistry::RegCloseKey(RegKey key) {
    std::lock_guard lock(mutex_);
    if (auto node = handles_.extract(key)) {
        node.mapped() = Opened();  // the tree goes now, not when the node is next used
        spare_ = std::move(node);
        return kErrorSuccess;
    }
    int32_t narrow = 0;
    return IsPredefinedRoot(key, narrow) ? kErrorSuccess : kErrorInvalidHandle;
}

size_t TreeRegistry::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

}  // namespace velmora
