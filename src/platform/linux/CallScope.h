#pragma once
// Public calls as the Linux backend sees them: numbered in the process as they
// begin, so a backend may take a reading once in a call and use it for the rest of
// that call, and never in another (no number is used twice). The registry announces
// them: the public calls open a registry call around their work.
#include <cstdint>

namespace velmora {

void CallScopeBegins();
void CallScopeEnds();
// The call under way on this thread, 0 outside any. A call begun inside another
// takes a newer number, which asks for no less than the outer one's.
uint64_t CurrentCall();
// How many calls have begun in the process so far.
uint64_t CallsBegun();

}  // namespace velmora
