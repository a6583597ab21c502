/* Test-only LD_PRELOAD library for Wine's serial layer on pseudo-terminals: Linux ptys reject the
 * modem-line ioctls (TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC give ENOTTY), which makes Wine's
 * WaitCommEvent end at once with 995. On a terminal that rejects them, they succeed here: the
 * lines read as DTR, RTS, CTS, DSR and CD up, and setting them does nothing. The 32-bit C library
 * routes ioctl through __ioctl_time64, so both are hooked. Build: see build.sh. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_modem_request(unsigned long request) {
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

static int hooked(const char *name, int fd, unsigned long request, void *arg) {
    ioctl_fn real = (ioctl_fn)dlsym(RTLD_NEXT, name);
    int result = real != NULL ? real(fd, request, arg) : (errno = ENOSYS, -1);
    if (result == -1 && (errno == ENOTTY || errno == EINVAL) && is_modem_request(request) &&
        isatty(fd)) {
        if (request == TIOCMGET && arg != NULL) {
            *(int *)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
        }
        errno = 0;
        return 0;
    }
    return result;
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return hooked("ioctl", fd, request, arg);
}

int __ioctl_time64(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return hooked("__ioctl_time64", fd, request, arg);
}
