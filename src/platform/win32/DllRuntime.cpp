// The static runtime takes two things when one of our DLLs loads or first throws and
// gives neither back when the DLL is freed, although the host process lives on:
// - libstdc++'s emergency pool for exceptions thrown while memory is short, malloc'd
//   at load and freed only on request (about 4 KB of written memory a load);
// - the per-thread exception state, which under the win32 thread model lives in
//   emulated thread-local storage: a TLS index taken at the first exception and never
//   freed, so a host that loads and frees us about a thousand times runs out of
//   indexes and the runtime aborts it.
// So the DLL frees the pool itself, and keeps the exception state in a TLS index and
// blocks of its own: a thread's block goes when the thread ends, all go with the DLL.
// Defining the two accessors here keeps libsupc++'s own (and emulated TLS) out of the link.
#include "platform/win32/DllRuntime.h"

#include <cxxabi.h>

#include <cstdlib>

namespace __gnu_cxx {
void __freeres();
}  // namespace __gnu_cxx

namespace {

// The record that libsupc++ keeps per thread (unwind-cxx.h), with our list links.
struct Block {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
    Block* prev;
    Block* next;
};

DWORD g_index = TLS_OUT_OF_INDEXES;
CRITICAL_SECTION g_lock;
Block* g_blocks = nullptr;
// Before attach and after detach (static constructors and destructors), where the
// loader runs one thread at a time.
Block g_outside = {};

Block* ThreadBlock() {
    const DWORD error = ::GetLastError();  // an exception must not change the host's last error
    auto* block = static_cast<Block*>(::TlsGetValue(g_index));
    if (!block) {
        block = static_cast<Block*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Block)));
        if (!block) std::abort();  // as the runtime's own does without memory for it
        ::EnterCriticalSection(&g_lock);
        block->next = g_blocks;
        if (g_blocks) g_blocks->prev = block;
        g_blocks = block;
        ::LeaveCriticalSection(&g_lock);
        ::TlsSetValue(g_index, block);
    }
    ::SetLastError(error);
    return block;
}

void Release(Block* block) {
    ::EnterCriticalSection(&g_lock);
    if (block->prev) block->prev->next = block->next;
    else g_blocks = block->next;
    if (block->next) block->next->prev = block->prev;
    ::LeaveCriticalSection(&g_lock);
    ::HeapFree(::GetProcessHeap(), 0, block);
}

}  // namespace

extern "C" __cxxabiv1::__cxa_eh_globals* __cxxabiv1::__cxa_get_globals() noexcept {
    Block* block = g_index == TLS_OUT_OF_INDEXES ? &g_outside : ThreadBlock();
    return reinterpret_cast<__cxa_eh_globals*>(block);
}

extern "C" __cxxabiv1::__cxa_eh_globals* __cxxabiv1::__cxa_get_globals_fast() noexcept {
    return __cxa_get_globals();
}

namespace velmora::dll {
namespace {

bool ProcessAttach() {
    ::InitializeCriticalSection(&g_lock);
    g_index = ::TlsAlloc();
    return g_index != TLS_OUT_OF_INDEXES;
}

void ThreadDetach() {
    if (g_index == TLS_OUT_OF_INDEXES) return;
    if (auto* block = static_cast<Block*>(::TlsGetValue(g_index))) Release(block);
}

// `freed`: FreeLibrary, the host process lives on; otherwise the process is ending.
void ProcessDetach(bool freed) {
    if (!freed) return;  // process exit: other threads were stopped anywhere, and all goes anyway
    if (g_index != TLS_OUT_OF_INDEXES) {
        while (g_blocks) Release(g_blocks);
        ::TlsFree(g_index);
        g_index = TLS_OUT_OF_INDEXES;
    }
    ::DeleteCriticalSection(&g_lock);
    __gnu_cxx::__freeres();
}

}  // namespace

BOOL Notify(DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH: return ProcessAttach();
        case DLL_THREAD_DETACH: ThreadDetach(); break;
        case DLL_PROCESS_DETACH: ProcessDetach(reserved == nullptr); break;
    }
    return TRUE;
}

}  // namespace velmora::dll
