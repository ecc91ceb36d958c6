// os-release: any bytes, as the system's own name of a platform that is not Windows.
#include "FakePlatform.h"
#include "FuzzSupport.h"
#include "platform/linux/OsRelease.h"
#include "system/clsOperatingSystem.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The name is a piece of the file, never longer than it.
    const auto value = OsReleaseValue(bytes, "PRETTY_NAME");
    if (value && value->size() > size) std::abort();

    testing::FakePlatform fake;
    fake.SetVersion(kPlatformLinux, 6, 1);
    fake.ownSystemName = value.value_or(bytes);
    if (clsOperatingSystem(fake).GetOperatingSystemName().find(u'\0') != String::npos) std::abort();
    return 0;
}
