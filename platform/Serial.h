// Serial port, event and wait calls (kernel32) in the shape of their ANSI Win32 forms, for the
// serial channel's overlapped I/O.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace sys {

namespace comm {
constexpr Dword GenericRead = 0x80000000;
constexpr Dword GenericWrite = 0x40000000;
constexpr Dword OpenExisting = 3;
constexpr Dword FlagOverlapped = 0x40000000;
constexpr Dword EvRxChar = 0x0001;
constexpr Dword EvRxFlag = 0x0002;
constexpr Dword EvTxEmpty = 0x0004;
constexpr Dword EvCts = 0x0008;
constexpr Dword EvDsr = 0x0010;
constexpr Dword EvRlsd = 0x0020;
constexpr Dword EvBreak = 0x0040;
constexpr Dword EvErr = 0x0080;
constexpr Dword EvRing = 0x0100;
constexpr Dword PurgeTxAbort = 0x1;
constexpr Dword PurgeRxAbort = 0x2;
constexpr Dword PurgeTxClear = 0x4;
constexpr Dword PurgeRxClear = 0x8;
constexpr Dword RtsControlEnable = 1;
}  // namespace comm

namespace wait {
constexpr Dword Object0 = 0;            // WAIT_OBJECT_0
constexpr Dword Timeout = 0x102;        // WAIT_TIMEOUT
constexpr Dword Failed = 0xFFFFFFFF;    // WAIT_FAILED
constexpr Dword Infinite = 0xFFFFFFFF;  // INFINITE
}  // namespace wait

// INVALID_HANDLE_VALUE, what CreateFileA returns on failure.
void* InvalidHandleValue();

// The records, field for field (bit-fields included) as Win32's, passed through unchanged.
struct COMMTIMEOUTS {
    Dword ReadIntervalTimeout = 0;
    Dword ReadTotalTimeoutMultiplier = 0;
    Dword ReadTotalTimeoutConstant = 0;
    Dword WriteTotalTimeoutMultiplier = 0;
    Dword WriteTotalTimeoutConstant = 0;
};

struct DCB {
    Dword DCBlength = sizeof(DCB);
    Dword BaudRate = 0;
    Dword fBinary : 1 = 0;
    Dword fParity : 1 = 0;
    Dword fOutxCtsFlow : 1 = 0;
    Dword fOutxDsrFlow : 1 = 0;
    Dword fDtrControl : 2 = 0;
    Dword fDsrSensitivity : 1 = 0;
    Dword fTXContinueOnXoff : 1 = 0;
    Dword fOutX : 1 = 0;
    Dword fInX : 1 = 0;
    Dword fErrorChar : 1 = 0;
    Dword fNull : 1 = 0;
    Dword fRtsControl : 2 = 0;
    Dword fAbortOnError : 1 = 0;
    Dword fDummy2 : 17 = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
};

struct COMSTAT {
    Dword flags = 0;  // fCtsHold … fTxim and the reserved bits, as one word
    Dword cbInQue = 0;
    Dword cbOutQue = 0;
};

struct OVERLAPPED {
    std::uintptr_t Internal = 0;
    std::uintptr_t InternalHigh = 0;
    Dword Offset = 0;
    Dword OffsetHigh = 0;
    void* hEvent = nullptr;
};

// BOOL results as int; the last error is set on failure as Win32 sets it.
void* CreateFileA(const char* name, Dword access, Dword shareMode, void* security, Dword creation,
                  Dword flags, void* templateFile);
int SetupComm(void* file, Dword inQueue, Dword outQueue);
int SetCommTimeouts(void* file, const COMMTIMEOUTS* timeouts);
int SetCommMask(void* file, Dword mask);
int GetCommMask(void* file, Dword* mask);
int GetCommState(void* file, DCB* dcb);
int BuildCommDCBA(const char* definition, DCB* dcb);
int SetCommState(void* file, DCB* dcb);
int PurgeComm(void* file, Dword flags);
int WaitCommEvent(void* file, Dword* events, OVERLAPPED* overlapped);
int ClearCommError(void* file, Dword* errors, COMSTAT* status);
int ReadFile(void* file, void* buffer, Dword size, Dword* read, OVERLAPPED* overlapped);
int WriteFile(void* file, const void* buffer, Dword size, Dword* written, OVERLAPPED* overlapped);
int GetOverlappedResult(void* file, OVERLAPPED* overlapped, Dword* transferred, int wait);

void* CreateEventA(void* security, int manualReset, int initialState, const char* name);
int SetEvent(void* event);
int ResetEvent(void* event);
Dword WaitForSingleObject(void* handle, Dword milliseconds);
Dword WaitForMultipleObjects(Dword count, void* const* handles, int waitAll, Dword milliseconds);

// The system's text for an error code (FormatMessageA from the system, language neutral),
// cut to size - 1 bytes and NUL-terminated; returns its length, 0 when there is none.
Dword FormatMessageA(Dword messageId, char* buffer, Dword size);

}  // namespace sys
