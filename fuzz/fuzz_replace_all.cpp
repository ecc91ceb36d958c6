// ReplaceAll over any text, search, replacement and mode: it ends, and an empty
// search or an unknown mode leaves the text as it is.
#include "FuzzSupport.h"
#include "base/RuntimeError.h"
#include "text/Text.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int32_t mode = input.ConsumeIntegralInRange<int32_t>(-1, 2);
    const String search = fuzz::TakeText(input, 16);
    const String replacement = fuzz::TakeText(input, 64);
    const String text = fuzz::Utf16(input.ConsumeRemainingBytesAsString());
    String result;
    try {
        result = ReplaceAll(text, search, replacement, static_cast<Compare>(mode));
    } catch (const RuntimeError&) {
        return 0;  // a clear error is an answer
    }
    if ((search.empty() || mode < 0 || mode > 1) && result != text) std::abort();
    return 0;
}
