/* Pass-through language monitor: hands every port call to the port monitor beneath it. */
#include <windows.h>

/* winsplp.h builds on the types of winspool.h. */
#include <winspool.h>

#include <winsplp.h>

/* Tags let a call on a handle that is not ours fail instead of touching foreign memory. */
#define INSTANCE_TAG 0x4E4F4D4CUL /* "LMON" */
#define PORT_TAG 0x54524F50UL     /* "PORT" */

typedef struct Instance {
    DWORD tag;
} Instance;

typedef struct Port {
    DWORD tag;
    LPMONITOR2 below;
    HANDLE belowPort;
} Port;

static void* Alloc(SIZE_T size) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

static void Free(void* p) {
    if (p != NULL) {
        HeapFree(GetProcessHeap(), 0, p);
    }
}

static Port* AsPort(HANDLE h) {
    Port* port = (Port*)h;
    if (port == NULL || port->tag != PORT_TAG) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    return port;
}

/* The port monitor may leave optional entries empty; report that instead of calling NULL. */
static BOOL Offered(BOOL present) {
    if (!present) {
        SetLastError(ERROR_NOT_SUPPORTED);
    }
    return present;
}

static BOOL WINAPI LmOpenPortEx(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName,
                                LPWSTR pPrinterName, PHANDLE pHandle, LPMONITOR2 pMonitor2) {
    Instance* self = (Instance*)hMonitor;
    Port* port;
    (void)pPrinterName;
    if (pHandle == NULL || self == NULL || self->tag != INSTANCE_TAG || pMonitor2 == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pHandle = NULL;
    if (!Offered(pMonitor2->pfnOpenPort != NULL)) {
        return FALSE;
    }
    port = (Port*)Alloc(sizeof *port);
    if (port == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!pMonitor2->pfnOpenPort(hMonitorPort, pPortName, &port->belowPort)) {
        DWORD error = GetLastError();
        Free(port);
        SetLastError(error);
        return FALSE;
    }
    port->tag = PORT_TAG;
    port->below = pMonitor2;
    *pHandle = (HANDLE)port;
    return TRUE;
}

static BOOL WINAPI LmStartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level,
                                  LPBYTE pDocInfo) {
    Port* port = AsPort(hPort);
    return port != NULL && Offered(port->below->pfnStartDocPort != NULL) &&
           port->below->pfnStartDocPort(port->belowPort, pPrinterName, JobId, Level, pDocInfo);
}

static BOOL WINAPI LmWritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
    Port* port = AsPort(hPort);
    return port != NULL && Offered(port->below->pfnWritePort != NULL) &&
           port->below->pfnWritePort(port->belowPort, pBuffer, cbBuf, pcbWritten);
}

static BOOL WINAPI LmReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
    Port* port = AsPort(hPort);
    return port != NULL && Offered(port->below->pfnReadPort != NULL) &&
           port->below->pfnReadPort(port->belowPort, pBuffer, cbBuffer, pcbRead);
}

static BOOL WINAPI LmEndDocPort(HANDLE hPort) {
    Port* port = AsPort(hPort);
    return port != NULL && Offered(port->below->pfnEndDocPort != NULL) &&
           port->below->pfnEndDocPort(port->belowPort);
}

static BOOL WINAPI LmClosePort(HANDLE hPort) {
    Port* port = AsPort(hPort);
    BOOL closed = TRUE;
    if (port == NULL) {
        return FALSE;
    }
    if (port->below->pfnClosePort != NULL) {
        closed = port->below->pfnClosePort(port->belowPort);
    }
    /* Ours is released even when the port below refuses: the spooler drops the handle anyway. */
    port->tag = 0;
    Free(port);
    return closed;
}

static BOOL WINAPI LmGetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName,
                                            LPWSTR lpInBuffer, DWORD cbInBuffer, LPWSTR lpOutBuffer,
                                            DWORD cbOutBuffer, LPDWORD lpcbReturned) {
    Port* port = AsPort(hPort);
    return port != NULL && Offered(port->below->pfnGetPrinterDataFromPort != NULL) &&
           port->below->pfnGetPrinterDataFromPort(port->belowPort, ControlID, pValueName,
                                                  lpInBuffer, cbInBuffer, lpOutBuffer, cbOutBuffer,
                                                  lpcbReturned);
}

static BOOL WINAPI LmSetPortTimeOuts(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved) {
    Port* port = AsPort(hPort);
    return port != NULL && Offered(port->below->pfnSetPortTimeOuts != NULL) &&
           port->below->pfnSetPortTimeOuts(port->belowPort, lpCTO, reserved);
}

static VOID WINAPI LmShutdown(HANDLE hMonitor) {
    Instance* self = (Instance*)hMonitor;
    if (self != NULL && self->tag == INSTANCE_TAG) {
        self->tag = 0;
        Free(self);
    }
}

/* A language monitor offers no ports of its own, so the port-management entries stay empty. */
static MONITOR2 table;

__declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor) {
    Instance* self;
    (void)pMonitorInit;
    if (phMonitor == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    self = (Instance*)Alloc(sizeof *self);
    if (self == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    self->tag = INSTANCE_TAG;
    table.cbSize = sizeof table;
    table.pfnOpenPortEx = LmOpenPortEx;
    table.pfnStartDocPort = LmStartDocPort;
    table.pfnWritePort = LmWritePort;
    table.pfnReadPort = LmReadPort;
    table.pfnEndDocPort = LmEndDocPort;
    table.pfnClosePort = LmClosePort;
    table.pfnGetPrinterDataFromPort = LmGetPrinterDataFromPort;
    table.pfnSetPortTimeOuts = LmSetPortTimeOuts;
    table.pfnShutdown = LmShutdown;
    *phMonitor = (HANDLE)self;
    return &table;
}
