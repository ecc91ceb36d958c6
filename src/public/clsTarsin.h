#pragma once
// The facade hosts use: one question about the machine per call. Every call runs
// the same bracket: begin entry, one fresh worker, its answer, end entry.
#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

class clsTarsin {
public:
    explicit clsTarsin(Platform& platform = DefaultPlatform()) : platform_(platform) {}

    String GetOperatingSystemName();
    String GetOperatingSystemVersion();

    // The begin entry, a worker of class W made for this call, `work(worker)`, the
    // end entry. A failure from the worker ends the call without an end entry and
    // passes to the caller.
    template <class W, class Work>
    auto Bracket(const String& name, Work&& work) -> decltype(work(std::declval<W&>()));

private:
    Platform& platform_;
};

}  // namespace velmora

#include "public/clsTarsin.inl"
