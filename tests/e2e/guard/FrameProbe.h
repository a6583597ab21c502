// An ordinary frame-based handler of the module that includes this (once): ProbeRead reads *p
// and, if that faults, its handler points the read at a fallback value and resumes.
#pragma once

#include <windows.h>

namespace probe {

inline constexpr int kFallback = 42;
inline const int fallback = kFallback;
inline volatile int handled = 0;  // times the handler repaired a fault

}  // namespace probe

extern "C" EXCEPTION_DISPOSITION __cdecl ProbeHandler(EXCEPTION_RECORD* record, void*,
                                                      CONTEXT* context, void*) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0 ||
        record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) {
        return ExceptionContinueSearch;
    }
    probe::handled = probe::handled + 1;
#if defined(_WIN64)
    context->Rcx = reinterpret_cast<DWORD64>(&probe::fallback);
#else
    context->Ecx = reinterpret_cast<DWORD>(&probe::fallback);
#endif
    return ExceptionContinueExecution;  // the faulting read runs again, now on the fallback
}

#if defined(_WIN64)

extern "C" int ProbeRead(const int* p);

__asm__(
    "\t.text\n"
    "\t.p2align 4\n"
    "\t.def ProbeRead; .scl 2; .type 32; .endef\n"
    "\t.seh_proc ProbeRead\n"
    "ProbeRead:\n"
    "\tsubq $40, %rsp\n"
    "\t.seh_stackalloc 40\n"
    "\t.seh_endprologue\n"
    "\t.seh_handler ProbeHandler, @except\n"
    "\tmovl (%rcx), %eax\n"
    "\taddq $40, %rsp\n"
    "\tret\n"
    "\t.seh_endproc\n");

#else

// NtCurrentTeb's __readfsdword trips -Warray-bounds at -O3 (GCC 12): read FS:[0x18] here.
inline NT_TIB* ProbeThreadBlock() {
    NT_TIB* tib;
    __asm__ __volatile__("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

struct ProbeFrame {
    ProbeFrame* next;
    void* handler;
};

__attribute__((noinline)) int ProbeRead(const int* p) {
    NT_TIB* tib = ProbeThreadBlock();
    volatile ProbeFrame frame{reinterpret_cast<ProbeFrame*>(tib->ExceptionList),
                              reinterpret_cast<void*>(&ProbeHandler)};
    tib->ExceptionList =
        reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(const_cast<ProbeFrame*>(&frame));
    int value;
    __asm__ __volatile__("movl (%1), %0" : "=a"(value) : "c"(p) : "memory");
    tib->ExceptionList = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(frame.next);
    return value;
}

#endif
