// /proc/cpuinfo: the first "model name", whatever the file holds.
#include "FuzzSupport.h"
#include "platform/linux/LinuxRegistry.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteScratch("proc/cpuinfo", {reinterpret_cast<const char*>(data), size});
    if (ReadCpuModelName(path).size() > size) std::abort();
    return 0;
}
