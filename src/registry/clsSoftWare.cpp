#include "registry/clsSoftWare.h"

#include "base/Int16.h"
#include "base/RuntimeError.h"
#include "registry/RegeditCls.h"

namespace velmora {

bool clsSoftWare::GetComputerSoftWare(std::vector<String>& strSoftName) {
    strSoftName.resize(1);
    RegeditCls registry(platform_);
    std::vector<String> subkeys(1);
    if (!registry.EnumKeyEx(kHKeyLocalMachine, kUninstallRoot, subkeys)) {
        // Names listed and still False: the root was read but outgrew the reader's
        // 16-bit counter. That is a failure of the list, not an unreadable root.
        if (subkeys.size() > 1) Raise(Err::Overflow);
        return false;
    }
    const int16_t last = ToInt16(static_cast<int64_t>(subkeys.size()) - 1);
    int16_t count = 0;
    // The subkey counter steps past the last index before the loop ends, so it
    // overflows when the root lists 32,767 entries.
    for (int16_t i = 1; i <= last; i = ToInt16(i + 1)) {
        const String name = registry.GetRegStrValue(kHKeyLocalMachine,
                                                    kUninstallRoot + u"\\" + subkeys[static_cast<size_t>(i)],
                                                    u"DisplayName");
        if (!name.empty()) {
            count = ToInt16(count + 1);
            strSoftName.resize(static_cast<size_t>(count) + 1);
            strSoftName[static_cast<size_t>(count)] = name;
        }
        platform_.host.ProcessPendingMessages();
    }
    platform_.host.ProcessPendingMessages();
    return true;
}

}  // namespace velmora
