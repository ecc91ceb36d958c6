// rpm's sqlite database read from its bytes alone, and one header blob: any input
// gives packages or is refused with nothing added, never a read outside it, a loop
// or an allocation beyond its size.
#include "FuzzSupport.h"
#include "platform/linux/packages/RpmHeader.h"
#include "platform/linux/packages/RpmPackages.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PackageRecords records;
    if (!ReadRpmSqliteBytes(bytes, records) && !records.empty()) std::abort();
    if (records.size() > kMaxInstalledPackages) std::abort();
    if (const auto fields = ParseRpmHeader(bytes)) {
        const size_t text = fields->name.size() + fields->version.size() + fields->release.size() +
                            fields->arch.size() + fields->vendor.size() + fields->packager.size();
        if (text > size) std::abort();
    }
    return 0;
}
