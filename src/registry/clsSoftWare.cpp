#include "registry/clsSoftWare.h"

#include "base/Int16.h"
#include "base/RuntimeError.h"
#include "registry/RegeditCls.h"

namespace velmora {
namespace {

const String kDisplayName = FromAscii(kRegDisplayName);

// One uninstall entry: its subkey and the reader of the view that listed it.
struct Entry {
    RegeditCls* reader = nullptr;
    String subkey;
};

}  // namespace

bool clsSoftWare::GetComputerSoftWare(StringArrayRef strSoftName) {
    // Hosts call this without the bracket: the listing is a call of its own.
    const RegistryCall call(platform_.registry);
    strSoftName.Resize(1);
    // 64-bit Windows keeps the programs of 64-bit and of 32-bit installers apart;
    // a library of either width lists both, the 64-bit view first.
    std::vector<RegeditCls> readers;  // one a view, each kept for all its entries
    if (platform_.registry.HasTwoViews()) {
        readers.emplace_back(platform_, RegView::Wide64);
        readers.emplace_back(platform_, RegView::Wow32);
    } else {
        readers.emplace_back(platform_, RegView::Own);
    }
    std::vector<Entry> entries(1);
    bool readable = false;
    for (RegeditCls& reader : readers) {
        std::vector<String> subkeys(1);
        if (!reader.EnumKeyEx(kHKeyLocalMachine, kUninstallRoot, subkeys)) {
            // Names listed and still False: the root was read but outgrew the reader's
            // 16-bit counter. That is a failure of the list, not an unreadable root.
            if (subkeys.size() > 1) Raise(Err::Overflow);
            continue;
        }
        readable = true;
        for (size_t i = 1; i < subkeys.size(); ++i) entries.push_back({&reader, std::move(subkeys[i])});
    }
    if (!readable) return false;
    // The 16-bit counters index the subkeys of both views together, so more than
    // 32,767 of them fail here, before any name is read, as one view's do above.
    const int16_t last = ToInt16(static_cast<int64_t>(entries.size()) - 1);
    int16_t count = 0;
    String path;
    for (int32_t i = 1; i <= last; ++i) {
        const Entry& entry = entries[static_cast<size_t>(i)];
        path.assign(kUninstallRoot).append(1, u'\\').append(entry.subkey);
        String name = entry.reader->GetRegStrValue(kHKeyLocalMachine, path, kDisplayName);
        if (!name.empty()) {
            count = ToInt16(count + 1);
            strSoftName.Resize(static_cast<size_t>(count) + 1);
            strSoftName[static_cast<size_t>(count)] = std::move(name);
        }
        platform_.host.ProcessPendingMessages();
    }
    platform_.host.ProcessPendingMessages();
    return true;
}

}  // namespace velmora
