// Win32 back end of the serial port, event and wait calls: the records are Win32's own, field for
// field, so the calls pass them through.
#include <windows.h>

#include <bit>
#include <cstddef>
#include <cstring>

#include "platform/Serial.h"

namespace sys {

static_assert(sizeof(COMMTIMEOUTS) == sizeof(::COMMTIMEOUTS));
static_assert(offsetof(COMMTIMEOUTS, ReadIntervalTimeout) ==
              offsetof(::COMMTIMEOUTS, ReadIntervalTimeout));
static_assert(offsetof(COMMTIMEOUTS, ReadTotalTimeoutMultiplier) ==
              offsetof(::COMMTIMEOUTS, ReadTotalTimeoutMultiplier));
static_assert(offsetof(COMMTIMEOUTS, ReadTotalTimeoutConstant) ==
              offsetof(::COMMTIMEOUTS, ReadTotalTimeoutConstant));
static_assert(offsetof(COMMTIMEOUTS, WriteTotalTimeoutMultiplier) ==
              offsetof(::COMMTIMEOUTS, WriteTotalTimeoutMultiplier));
static_assert(offsetof(COMMTIMEOUTS, WriteTotalTimeoutConstant) ==
              offsetof(::COMMTIMEOUTS, WriteTotalTimeoutConstant));

static_assert(sizeof(DCB) == sizeof(::DCB));

// Bit-fields have no offsets: set one of ours to all ones, copy the bytes (bit_cast is memcpy at
// compile time), and Win32's field of that name must hold the same value and be the only one set.
#define SYS_DCB_BITS(X)                                                                            \
    X(fBinary)                                                                                     \
    X(fParity)                                                                                     \
    X(fOutxCtsFlow)                                                                                \
    X(fOutxDsrFlow)                                                                                \
    X(fDtrControl) X(fDsrSensitivity) X(fTXContinueOnXoff) X(fOutX) X(fInX) X(fErrorChar) X(fNull) \
        X(fRtsControl) X(fAbortOnError) X(fDummy2)

namespace {
constexpr int SetBitFields(const ::DCB& d) {
    int set = 0;
#define SYS_COUNT(f) set += d.f != 0 ? 1 : 0;
    SYS_DCB_BITS(SYS_COUNT)
#undef SYS_COUNT
    return set;
}

#define SYS_SAME_BITS(f)                                        \
    constexpr bool Same_##f() {                                 \
        DCB ours;                                               \
        ours.DCBlength = 0;                                     \
        --ours.f; /* 0 wraps to all ones of its width */        \
        const auto theirs = std::bit_cast<::DCB>(ours);         \
        return theirs.f == ours.f && SetBitFields(theirs) == 1; \
    }                                                           \
    static_assert(Same_##f(), "DCB bit-field " #f " differs from Win32's");
SYS_DCB_BITS(SYS_SAME_BITS)
#undef SYS_SAME_BITS
}  // namespace
#undef SYS_DCB_BITS
static_assert(offsetof(DCB, BaudRate) == offsetof(::DCB, BaudRate));
static_assert(offsetof(DCB, wReserved) == offsetof(::DCB, wReserved));
static_assert(offsetof(DCB, XonLim) == offsetof(::DCB, XonLim));
static_assert(offsetof(DCB, XoffLim) == offsetof(::DCB, XoffLim));
static_assert(offsetof(DCB, ByteSize) == offsetof(::DCB, ByteSize));
static_assert(offsetof(DCB, Parity) == offsetof(::DCB, Parity));
static_assert(offsetof(DCB, StopBits) == offsetof(::DCB, StopBits));
static_assert(offsetof(DCB, XonChar) == offsetof(::DCB, XonChar));
static_assert(offsetof(DCB, XoffChar) == offsetof(::DCB, XoffChar));
static_assert(offsetof(DCB, ErrorChar) == offsetof(::DCB, ErrorChar));
static_assert(offsetof(DCB, EofChar) == offsetof(::DCB, EofChar));
static_assert(offsetof(DCB, EvtChar) == offsetof(::DCB, EvtChar));
static_assert(offsetof(DCB, wReserved1) == offsetof(::DCB, wReserved1));

static_assert(sizeof(COMSTAT) == sizeof(::COMSTAT));
static_assert(offsetof(COMSTAT, cbInQue) == offsetof(::COMSTAT, cbInQue));
static_assert(offsetof(COMSTAT, cbOutQue) == offsetof(::COMSTAT, cbOutQue));

static_assert(sizeof(OVERLAPPED) == sizeof(::OVERLAPPED));
static_assert(offsetof(OVERLAPPED, Internal) == offsetof(::OVERLAPPED, Internal));
static_assert(offsetof(OVERLAPPED, InternalHigh) == offsetof(::OVERLAPPED, InternalHigh));
static_assert(offsetof(OVERLAPPED, Offset) == offsetof(::OVERLAPPED, Offset));
static_assert(offsetof(OVERLAPPED, OffsetHigh) == offsetof(::OVERLAPPED, OffsetHigh));
static_assert(offsetof(OVERLAPPED, hEvent) == offsetof(::OVERLAPPED, hEvent));

static_assert(comm::GenericRead == GENERIC_READ && comm::GenericWrite == GENERIC_WRITE &&
              comm::OpenExisting == OPEN_EXISTING && comm::FlagOverlapped == FILE_FLAG_OVERLAPPED);
static_assert(comm::EvRxChar == EV_RXCHAR && comm::EvRxFlag == EV_RXFLAG &&
              comm::EvTxEmpty == EV_TXEMPTY && comm::EvCts == EV_CTS && comm::EvDsr == EV_DSR &&
              comm::EvRlsd == EV_RLSD && comm::EvBreak == EV_BREAK && comm::EvErr == EV_ERR &&
              comm::EvRing == EV_RING);
static_assert(comm::PurgeTxAbort == PURGE_TXABORT && comm::PurgeRxAbort == PURGE_RXABORT &&
              comm::PurgeTxClear == PURGE_TXCLEAR && comm::PurgeRxClear == PURGE_RXCLEAR);
static_assert(comm::RtsControlEnable == RTS_CONTROL_ENABLE);
static_assert(wait::Object0 == WAIT_OBJECT_0 && wait::Timeout == WAIT_TIMEOUT &&
              wait::Failed == WAIT_FAILED && wait::Infinite == INFINITE);

namespace {
::OVERLAPPED* Win(OVERLAPPED* o) {
    return reinterpret_cast<::OVERLAPPED*>(o);
}
}  // namespace

void* InvalidHandleValue() {
    return INVALID_HANDLE_VALUE;
}

void* CreateFileA(const char* name, Dword access, Dword shareMode, void* security, Dword creation,
                  Dword flags, void* templateFile) {
    return ::CreateFileA(name, access, shareMode, static_cast<SECURITY_ATTRIBUTES*>(security),
                         creation, flags, templateFile);
}

int SetupComm(void* file, Dword inQueue, Dword outQueue) {
    return ::SetupComm(file, inQueue, outQueue);
}

int SetCommTimeouts(void* file, const COMMTIMEOUTS* timeouts) {
    return ::SetCommTimeouts(
        file, const_cast<::COMMTIMEOUTS*>(reinterpret_cast<const ::COMMTIMEOUTS*>(timeouts)));
}

int SetCommMask(void* file, Dword mask) {
    return ::SetCommMask(file, mask);
}

int GetCommMask(void* file, Dword* mask) {
    DWORD value = 0;
    const BOOL ok = ::GetCommMask(file, mask != nullptr ? &value : nullptr);
    if (ok && mask != nullptr) {
        *mask = value;
    }
    return ok;
}

int GetCommState(void* file, DCB* dcb) {
    return ::GetCommState(file, reinterpret_cast<::DCB*>(dcb));
}

int BuildCommDCBA(const char* definition, DCB* dcb) {
    return ::BuildCommDCBA(definition, reinterpret_cast<::DCB*>(dcb));
}

int SetCommState(void* file, DCB* dcb) {
    return ::SetCommState(file, reinterpret_cast<::DCB*>(dcb));
}

int PurgeComm(void* file, Dword flags) {
    return ::PurgeComm(file, flags);
}

int WaitCommEvent(void* file, Dword* events, OVERLAPPED* overlapped) {
    // DWORD is unsigned long on mingw, the same 32 bits as our Dword: the mask is written in place
    // (an overlapped wait writes it later, when it completes).
    static_assert(sizeof(DWORD) == sizeof(Dword));
    return ::WaitCommEvent(file, reinterpret_cast<DWORD*>(events), Win(overlapped));
}

int ClearCommError(void* file, Dword* errors, COMSTAT* status) {
    static_assert(sizeof(DWORD) == sizeof(Dword));
    return ::ClearCommError(file, reinterpret_cast<DWORD*>(errors),
                            reinterpret_cast<::COMSTAT*>(status));
}

int ReadFile(void* file, void* buffer, Dword size, Dword* read, OVERLAPPED* overlapped) {
    return ::ReadFile(file, buffer, size, reinterpret_cast<DWORD*>(read), Win(overlapped));
}

int WriteFile(void* file, const void* buffer, Dword size, Dword* written, OVERLAPPED* overlapped) {
    return ::WriteFile(file, buffer, size, reinterpret_cast<DWORD*>(written), Win(overlapped));
}

int GetOverlappedResult(void* file, OVERLAPPED* overlapped, Dword* transferred, int wait) {
    return ::GetOverlappedResult(file, Win(overlapped), reinterpret_cast<DWORD*>(transferred),
                                 wait);
}

void* CreateEventA(void* security, int manualReset, int initialState, const char* name) {
    return ::CreateEventA(static_cast<SECURITY_ATTRIBUTES*>(security), manualReset, initialState,
                          name);
}

int SetEvent(void* event) {
    return ::SetEvent(event);
}

int ResetEvent(void* event) {
    return ::ResetEvent(event);
}

Dword WaitForSingleObject(void* handle, Dword milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}

Dword WaitForMultipleObjects(Dword count, void* const* handles, int waitAll, Dword milliseconds) {
    return ::WaitForMultipleObjects(count, handles, waitAll, milliseconds);
}

Dword FormatMessageA(Dword messageId, char* buffer, Dword size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    // Without FORMAT_MESSAGE_ALLOCATE_BUFFER a text longer than the buffer fails with 122
    // (ERROR_INSUFFICIENT_BUFFER) instead of being cut: format into room for any system text,
    // then cut to the caller's size. 32767 bytes: Wine refuses 32768 and more with 87.
    static thread_local char text[32767];
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, messageId,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    if (length == 0) {
        buffer[0] = '\0';
        return 0;
    }
    const Dword kept = length < size ? length : size - 1;
    std::memcpy(buffer, text, kept);
    buffer[kept] = '\0';
    return kept;
}

}  // namespace sys
