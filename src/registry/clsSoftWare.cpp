#include "registry/clsSoftWare.h"

#include "base/Int16.h"
#include "base/RuntimeError.h"
#include "registry/RegeditCls.h"

namespace velmora {

template <class Take>
bool clsSoftWare::EachUninstallEntry(Take&& take) {
    // Hosts call this without the bracket: the listing is a call of its own.
    const RegistryCall call(platform_.registry);
    // 64-bit Windows keeps the programs of 64-bit and of 32-bit installers apart;
    // a library of either width lists both, the 64-bit view first. Each view's
    // reader and listing are kept for all its entries.
    const bool twoViews = platform_.registry.HasTwoViews();
    const size_t views = twoViews ? 2 : 1;
    RegeditCls readers[2] = {RegeditCls(platform_, twoViews ? RegView::Wide64 : RegView::Own),
                             RegeditCls(platform_, RegView::Wow32)};
    SubkeyList lists[2];
    bool listed[2] = {};
    size_t entries = 0;
    for (size_t v = 0; v < views; ++v) {
        listed[v] = readers[v].ListSubkeys(kHKeyLocalMachine, kUninstallRoot, lists[v]);
        // Names listed and still False: the root was read but outgrew the reader's
        // 16-bit counter. That is a failure of the list, not an unreadable root.
        if (!listed[v] && lists[v].Count() > 0) Raise(Err::Overflow);
        if (listed[v]) entries += lists[v].Count();
    }
    if (!listed[0] && !listed[1]) return false;
    // The 16-bit counters index the subkeys of both views together, so more than
    // 32,767 of them fail here, before any name is read, as one view's do above.
    ToInt16(static_cast<int64_t>(entries));
    for (size_t v = 0; v < views; ++v) {
        for (size_t i = 0; listed[v] && i < lists[v].Count(); ++i) {
            take(readers[v], lists[v], i);
            platform_.host.ProcessPendingMessages();
        }
    }
    platform_.host.ProcessPendingMessages();
    return true;
}

bool clsSoftWare::GetComputerSoftWare(StringArrayRef strSoftName) {
    strSoftName.Resize(1);
    // No more names than entries, which the walk has already held to the 16-bit counter.
    return EachUninstallEntry([&](RegeditCls& reader, const SubkeyList& list, size_t i) {
        String name;
        reader.AppendSubkeyStrValue(list, i, kRegDisplayName, name);
        if (!name.empty()) strSoftName.Append(std::move(name));
    });
}

bool clsSoftWare::JoinComputerSoftWare(String& joined) {
    return EachUninstallEntry([&](RegeditCls& reader, const SubkeyList& list, size_t i) {
        const size_t before = joined.size();
        reader.AppendSubkeyStrValue(list, i, kRegDisplayName, joined);
        if (joined.size() != before) joined.push_back(u'|');
    });
}

}  // namespace velmora
