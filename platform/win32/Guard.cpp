// A structured exception handler around one call into an outside component: the component's own
// handlers see its exceptions first; only one that leaves the call is caught and reported.
//
// GCC has no __try. On i686 an exception registration record of ours is pushed on the thread's
// handler chain (FS:[0]); its handler unwinds the inner frames (RtlUnwind) and jumps back to where
// the call began, and the record is popped afterwards on both paths. On x86_64 the call is made
// from a small assembly function whose unwind data names __C_specific_handler with one scope entry
// whose filter is the constant EXCEPTION_EXECUTE_HANDLER (1): the table layout of an MSVC
// __try/__except, so the system unwinds and resumes at the landing label, with no code of ours on
// the exception path.
#include <windows.h>

#include "platform/Library.h"

namespace {

struct Call {
    const std::function<void()>& run;
    bool threw;
};

// A C++ exception of this toolchain is caught here, by its own unwinder, so that the frames it
// leaves run their destructors; on x86_64 libgcc's handler would otherwise take over the
// system's unwind at the first such frame and never give it back (seen under Wine as a hang).
void RunCall(void* context) {
    auto* call = static_cast<Call*>(context);
    try {
        call->run();
    } catch (...) {
        call->threw = true;
    }
}

}  // namespace

#if defined(_WIN64)

// Returns 0 when fn returned, 1 when an exception left it.
extern "C" int GuardedTrampoline(void (*fn)(void*), void* arg);

// The return address of the call (the nop) must lie inside [begin, end): the dispatcher matches
// the scope with the caller's return address.
__asm__(
    "\t.text\n"
    "\t.p2align 4\n"
    "\t.def GuardedTrampoline; .scl 2; .type 32; .endef\n"
    "\t.seh_proc GuardedTrampoline\n"
    "GuardedTrampoline:\n"
    "\tsubq $40, %rsp\n"
    "\t.seh_stackalloc 40\n"
    "\t.seh_endprologue\n"
    "\t.seh_handler __C_specific_handler, @except\n"
    "\t.seh_handlerdata\n"
    "\t.long 1\n"
    "\t.rva .LguardBegin, .LguardEnd\n"
    "\t.long 1\n"
    "\t.rva .LguardLand\n"
    "\t.text\n"
    "\tmovq %rcx, %rax\n"
    "\tmovq %rdx, %rcx\n"
    ".LguardBegin:\n"
    "\tcallq *%rax\n"
    "\tnop\n"
    ".LguardEnd:\n"
    "\txorl %eax, %eax\n"
    "\taddq $40, %rsp\n"
    "\tret\n"
    ".LguardLand:\n"
    "\tmovl $1, %eax\n"
    "\taddq $40, %rsp\n"
    "\tret\n"
    "\t.seh_endproc\n");

namespace sys {

bool CallGuarded(const std::function<void()>& call) {
    Call context{call, false};
    return GuardedTrampoline(&RunCall, &context) == 0 && !context.threw;
}

}  // namespace sys

#else

namespace {

// The registration record first, as the system reads it, then where to land.
struct GuardFrame {
    GuardFrame* next;
    void* handler;
    void* landing[5];
};

NT_TIB* ThreadBlock() {
    // NtCurrentTeb's __readfsdword trips -Warray-bounds at -O3 (GCC 12): read FS:[0x18] here.
    NT_TIB* tib;
    __asm__("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

thread_local GuardFrame* unwound = nullptr;

// Where RtlUnwind continues (its TargetIp), on the stack of the handler that called it.
[[noreturn]] void ResumeAfterUnwind() {
    __builtin_longjmp(unwound->landing, 1);
}

extern "C" EXCEPTION_DISPOSITION __cdecl OnGuardException(EXCEPTION_RECORD* record,
                                                          void* establisher, CONTEXT*, void*) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    // Runs the inner frames' unwind handlers and leaves our record at the head of the chain.
    // Whether RtlUnwind continues at TargetIp or returns, the thread lands.
    unwound = static_cast<GuardFrame*>(establisher);
    ::RtlUnwind(establisher, reinterpret_cast<void*>(&ResumeAfterUnwind), record, nullptr);
    ResumeAfterUnwind();
}

}  // namespace

namespace sys {

bool CallGuarded(const std::function<void()>& call) {
    NT_TIB* tib = ThreadBlock();
    volatile GuardFrame frame{};
    frame.next = reinterpret_cast<GuardFrame*>(tib->ExceptionList);
    frame.handler = reinterpret_cast<void*>(&OnGuardException);
    volatile bool completed = false;
    if (__builtin_setjmp(const_cast<void**>(frame.landing)) == 0) {
        tib->ExceptionList =
            reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(const_cast<GuardFrame*>(&frame));
        Call context{call, false};
        RunCall(&context);
        completed = !context.threw;
    }
    tib->ExceptionList = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(frame.next);
    return completed;
}

}  // namespace sys

#endif
