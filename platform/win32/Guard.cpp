// Catches a fault raised inside an outside component: a vectored handler sends the faulting
// thread to a landing function that jumps back to where the guarded call began.
#include <windows.h>

#include "platform/Library.h"

namespace {

thread_local void* jumpBuffer[5];
thread_local bool guarded = false;

[[noreturn]] void Land() {
    __builtin_longjmp(jumpBuffer, 1);
}

bool IsFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INVALID_OPERATION:
            return true;
        default:
            return false;  // a stack overflow has no room left to land on
    }
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
    if (!guarded || !IsFault(info->ExceptionRecord->ExceptionCode)) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    guarded = false;
#if defined(_WIN64)
    info->ContextRecord->Rip = reinterpret_cast<DWORD64>(&Land);
    info->ContextRecord->Rsp = (info->ContextRecord->Rsp & ~DWORD64{0xF}) - 8;
#else
    info->ContextRecord->Eip = reinterpret_cast<DWORD>(&Land);
    info->ContextRecord->Esp &= ~DWORD{0xF};
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

namespace sys {

bool CallGuarded(const std::function<void()>& call) {
    PVOID handler = ::AddVectoredExceptionHandler(1, &OnException);
    bool completed = false;
    if (__builtin_setjmp(jumpBuffer) == 0) {
        guarded = true;
        call();
        guarded = false;
        completed = true;
    }
    guarded = false;
    if (handler != nullptr) {
        ::RemoveVectoredExceptionHandler(handler);
    }
    return completed;
}

}  // namespace sys
