// /proc/meminfo and /proc/self/status: the memory status from any bytes.
#include "FuzzSupport.h"
#include "platform/linux/LinuxSystemInfo.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string status = input.ConsumeRandomLengthString(4096);
    const std::string meminfo = input.ConsumeRemainingBytesAsString();
    const std::string path = fuzz::WriteScratch("proc/meminfo", meminfo);
    fuzz::WriteScratch("proc/self/status", status);
    MemInfo info;
    ReadMemInfo(path, info);
    LinuxSystemInfo system(fuzz::ScratchRoot());
    MemoryStatusEx ex{};
    ex.dwLength = sizeof ex;
    system.GlobalMemoryStatusEx(ex);
    MemoryStatus old{};
    system.GlobalMemoryStatus(old);
    return 0;
}
