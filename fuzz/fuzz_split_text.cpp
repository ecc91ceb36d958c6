// SplitText over any text and separator: pieces or Overflow, nothing else.
#include "FuzzSupport.h"
#include "base/RuntimeError.h"
#include "system/clsOperatingSystem.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const String separator = fuzz::TakeText(input, 8);
    // Long texts now and then reach the 16-bit position limits.
    const size_t repeat = input.ConsumeIntegralInRange<size_t>(1, input.ConsumeBool() ? 40000 : 1);
    const String unit = fuzz::Utf16(input.ConsumeRemainingBytesAsString());
    String text;
    for (size_t i = 0; i < repeat && text.size() < 70000; ++i) text += unit;
    std::vector<String> pieces = {u"zero"};
    try {
        SplitText(text, pieces, separator);
    } catch (const RuntimeError& e) {
        if (e.Number() != 6) std::abort();
        return 0;
    }
    if (pieces.size() < 2 || pieces[0] != u"zero") std::abort();
    size_t length = 0;
    for (size_t i = 1; i < pieces.size(); ++i) length += pieces[i].size();
    if (length > text.size()) std::abort();
    return 0;
}
