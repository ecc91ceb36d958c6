#pragma once
// The call bracket every public method of clsTarsin runs: the begin entry, one
// worker made for this call, its answer, the end entry. Internal to the component;
// tests call the bracket directly with a worker of their own.
#include <exception>
#include <utility>

#include "base/RuntimeError.h"
#include "platform/Platform.h"
#include "public/modPublic.h"

namespace velmora {

inline const String kLogBegin = u"开始";
inline const String kLogEnd = u"结束";
inline const String kLogErrorPrefix = u"错误：";

// What a failure after the begin entry does to the call. In every case no end entry
// is written.
enum class ErrorPolicy : uint8_t {
    Propagate,  // it passes to the caller as the error of the call
    Trap,       // it is cleared; the answer is the empty value
    LogError,   // "错误：" + its description is logged in place of the end entry, then as Trap
};

// The worker of a method that makes none: the bracket is the same without it.
struct NoWorker {
    explicit NoWorker(Platform&) {}
};

// The worker lives from after the begin entry until after the end entry.
template <class W, class Work>
auto Bracket(Platform& platform, const String& name, ErrorPolicy policy, Work&& work)
    -> decltype(work(std::declval<W&>())) {
    const RegistryCall call(platform.registry);
    WriteLog(platform, kLogBegin, 0, name);
    try {
        W worker(platform);
        auto answer = work(worker);
        WriteLog(platform, kLogEnd, 0, name);
        return answer;
    } catch (...) {
        if (policy == ErrorPolicy::Propagate) throw;
        if (policy == ErrorPolicy::LogError)
            WriteLog(platform, kLogErrorPrefix + ErrorFromException(std::current_exception()).description, 0, name);
        return decltype(work(std::declval<W&>()))();
    }
}

}  // namespace velmora
