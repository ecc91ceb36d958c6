#include "platform/linux/CallScope.h"

#include <atomic>

namespace velmora {
namespace {

std::atomic<uint64_t> callsBegun{0};
thread_local uint64_t threadCall = 0;
thread_local unsigned threadDepth = 0;

}  // namespace

void CallScopeBegins() {
    ++threadDepth;
    threadCall = ++callsBegun;
}

void CallScopeEnds() {
    if (threadDepth > 0 && --threadDepth == 0) threadCall = 0;
}

uint64_t CurrentCall() { return threadCall; }

uint64_t CallsBegun() { return callsBegun.load(); }

}  // namespace velmora
