/* A console Windows program for the serial e2e check: opens a COM port overlapped as the serial
 * channel does, at the given rate, writes the probe, waits for EV_RXCHAR and reads what came.
 * Usage: serialcheck COMn baud probe-hex wait-ms
 * Prints "reply <hex bytes>" and ends with 0, "no reply" and 1, or "error <call> <code>" and 2. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(const char *call) {
    printf("error %s %lu\n", call, GetLastError());
    return 2;
}

int main(int argc, char **argv) {
    if (argc != 5) {
        printf("usage: serialcheck COMn baud probe-hex wait-ms\n");
        return 2;
    }
    unsigned char probe[32];
    DWORD probeLen = 0;
    for (const char *p = argv[3]; p[0] && p[1] && probeLen < sizeof probe; p += 2) {
        char pair[3] = {p[0], p[1], 0};
        probe[probeLen++] = (unsigned char)strtoul(pair, NULL, 16);
    }
    char name[32];
    snprintf(name, sizeof name, "\\\\.\\%s", argv[1]);
    HANDLE port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, NULL);
    if (port == INVALID_HANDLE_VALUE) {
        return fail("CreateFileA");
    }
    COMMTIMEOUTS timeouts = {1000, 1000, 1000, 1000, 1000};
    DCB dcb;
    char mode[64];
    snprintf(mode, sizeof mode, "baud=%s parity=N data=8 stop=1", argv[2]);
    if (!SetupComm(port, 2048, 2048)) return fail("SetupComm");
    if (!SetCommTimeouts(port, &timeouts)) return fail("SetCommTimeouts");
    if (!SetCommMask(port, EV_RXCHAR | EV_RXFLAG)) return fail("SetCommMask");
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return fail("GetCommState");
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.EvtChar = 'q';
    if (!BuildCommDCBA(mode, &dcb)) return fail("BuildCommDCBA");
    if (!SetCommState(port, &dcb)) return fail("SetCommState");
    if (!PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return fail("PurgeComm");
    DCB now;
    memset(&now, 0, sizeof now);
    now.DCBlength = sizeof now;
    if (GetCommState(port, &now)) {
        printf("rate %lu\n", now.BaudRate);
    }

    OVERLAPPED wait, write, read;
    memset(&wait, 0, sizeof wait);
    memset(&write, 0, sizeof write);
    memset(&read, 0, sizeof read);
    wait.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    write.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    read.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD events = 0, done = 0;
    BOOL atOnce = WaitCommEvent(port, &events, &wait);
    if (!atOnce && GetLastError() != ERROR_IO_PENDING) return fail("WaitCommEvent");
    if (!WriteFile(port, probe, probeLen, &done, &write)) {
        if (GetLastError() != ERROR_IO_PENDING) return fail("WriteFile");
        if (!GetOverlappedResult(port, &write, &done, TRUE)) return fail("GetOverlappedResult");
    }
    if (!atOnce) {
        if (WaitForSingleObject(wait.hEvent, (DWORD)atol(argv[4])) != WAIT_OBJECT_0) {
            printf("no reply\n");
            return 1;
        }
        if (!GetOverlappedResult(port, &wait, &done, FALSE)) return fail("WaitCommEvent result");
    }
    printf("events %lu\n", events);
    DWORD errors = 0;
    COMSTAT status;
    if (!ClearCommError(port, &errors, &status)) return fail("ClearCommError");
    if (status.cbInQue == 0) {
        printf("no reply\n");
        return 1;
    }
    unsigned char buffer[64];
    DWORD got = 0;
    DWORD want = status.cbInQue < sizeof buffer ? status.cbInQue : sizeof buffer;
    if (!ReadFile(port, buffer, want, &got, &read)) {
        if (GetLastError() != ERROR_IO_PENDING) return fail("ReadFile");
        if (!GetOverlappedResult(port, &read, &got, TRUE)) return fail("ReadFile result");
    }
    printf("reply");
    for (DWORD i = 0; i < got; ++i) {
        printf(" %02x", buffer[i]);
    }
    printf("\n");
    CloseHandle(port);
    return 0;
}
