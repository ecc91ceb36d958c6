// The Windows 2000 product file: any bytes read as lines, then looked up.
#include "FakePlatform.h"
#include "FuzzSupport.h"
#include "base/RuntimeError.h"
#include "platform/common/BufferLineInput.h"
#include "system/clsOperatingSystem.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    BufferLineInput lines(bytes);
    std::string line;
    size_t count = 0, total = 0;
    while (lines.ReadLine(line)) {
        total += line.size();
        if (++count > size + 1 || total > size) std::abort();  // every line consumes input
    }

    testing::FakePlatform fake;
    fake.SetVersion(2, 5, 0);
    fake.files[u"C:\\WINNT\\system32\\prodspec.ini"] = {bytes};
    try {
        const String name = clsOperatingSystem(fake).GetOperatingSystemName();
        if (name.empty()) std::abort();
        clsOperatingSystem(fake).ReadTextFile(u"C:\\WINNT\\system32\\prodspec.ini");
    } catch (const RuntimeError&) {
    }
    return 0;
}
