#include "registry/clsSoftWare.h"

#include "base/Int16.h"
#include "base/RuntimeError.h"
#include "registry/RegeditCls.h"

namespace velmora {
namespace {

const String kDisplayName = FromAscii(kRegDisplayName);

}  // namespace

bool clsSoftWare::GetComputerSoftWare(StringArrayRef strSoftName) {
    strSoftName.Resize(1);
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
    // The names fit 16-bit indices, so a root of exactly 32,767 entries is listed
    // whole; only a larger one fails, above.
    for (int32_t i = 1; i <= last; ++i) {
        const String name = registry.GetRegStrValue(kHKeyLocalMachine,
                                                    kUninstallRoot + u"\\" + subkeys[static_cast<size_t>(i)],
                                                    kDisplayName);
        if (!name.empty()) {
            count = ToInt16(count + 1);
            strSoftName.Resize(static_cast<size_t>(count) + 1);
            strSoftName[static_cast<size_t>(count)] = name;
        }
        platform_.host.ProcessPendingMessages();
    }
    platform_.host.ProcessPendingMessages();
    return true;
}

}  // namespace velmora
