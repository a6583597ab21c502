/* A printer on the device side of a pty pair, for the serial tests under Wine: it answers a
 * status request (the probe bytes) with reply bytes after a delay, only while the Windows side's
 * line runs at the given baud rate, or stays silent. It runs until killed; each event is one
 * line on standard output ("probe at 19200", "reply 12", "ignored at 9600"). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static void usage(void) {
    fprintf(stderr,
            "usage: fakeprinter --device PATH [--line PATH] [--probe HEX] [--reply HEX]\n"
            "                   [--delay MS] [--baud N] [--silent]\n"
            "  --device  the pty this printer reads and writes (socat's device end)\n"
            "  --line    the pty Wine opens as COMn, to read the rate it set (optional)\n"
            "  --probe   bytes that make it answer, e.g. 100401 or 1b213f (default 100401)\n"
            "  --reply   bytes it answers with (default 12)\n"
            "  --delay   milliseconds before the answer (default 20)\n"
            "  --baud    answer only while the line runs at this rate (default: any)\n"
            "  --silent  never answer\n");
    exit(2);
}

static size_t parse_hex(const char *text, unsigned char *out, size_t room) {
    size_t n = 0, len = strlen(text);
    if (len % 2 != 0 || len / 2 > room) {
        usage();
    }
    for (size_t i = 0; i < len; i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char *end = NULL;
        long v = strtol(pair, &end, 16);
        if (*end != 0) {
            usage();
        }
        out[n++] = (unsigned char)v;
    }
    return n;
}

static long speed_of(speed_t s) {
    static const struct {
        speed_t code;
        long rate;
    } table[] = {{B300, 300},     {B600, 600},     {B1200, 1200},     {B2400, 2400},
                 {B4800, 4800},   {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                 {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i) {
        if (table[i].code == s) {
            return table[i].rate;
        }
    }
    return -1;
}

/* The rate the Windows side set on its end, -1 when it cannot be read. */
static long line_rate(int line) {
    struct termios t;
    if (line < 0 || tcgetattr(line, &t) != 0) {
        return -1;
    }
    return speed_of(cfgetospeed(&t));
}

static void sleep_ms(long ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int main(int argc, char **argv) {
    const char *device = NULL, *line_path = NULL;
    unsigned char probe[16] = {0x10, 0x04, 0x01}, reply[64] = {0x12};
    size_t probe_len = 3, reply_len = 1;
    long delay = 20, baud = 0;
    int silent = 0;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(a, "--silent") == 0) {
            silent = 1;
            continue;
        }
        if (v == NULL) {
            usage();
        }
        ++i;
        if (strcmp(a, "--device") == 0) {
            device = v;
        } else if (strcmp(a, "--line") == 0) {
            line_path = v;
        } else if (strcmp(a, "--probe") == 0) {
            probe_len = parse_hex(v, probe, sizeof probe);
        } else if (strcmp(a, "--reply") == 0) {
            reply_len = parse_hex(v, reply, sizeof reply);
        } else if (strcmp(a, "--delay") == 0) {
            delay = atol(v);
        } else if (strcmp(a, "--baud") == 0) {
            baud = atol(v);
        } else {
            usage();
        }
    }
    if (device == NULL || probe_len == 0) {
        usage();
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    int fd = open(device, O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror(device);
        return 1;
    }
    struct termios raw;
    if (tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    /* Held open, never read: only its settings are looked at. Holding it also keeps socat from
     * seeing a hang-up each time the Windows side closes the port. */
    int line = line_path != NULL ? open(line_path, O_RDONLY | O_NOCTTY | O_NONBLOCK) : -1;
    if (line_path != NULL && line < 0) {
        perror(line_path);
    }
    printf("ready\n");

    unsigned char seen[256];
    size_t seen_len = 0;
    for (;;) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            perror("poll");
            return 1;
        }
        if ((p.revents & POLLHUP) != 0 && (p.revents & POLLIN) == 0) {
            sleep_ms(10); /* the other end has no reader right now */
            continue;
        }
        unsigned char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                perror("read");
                return 1;
            }
            sleep_ms(10);
            continue;
        }
        printf("got");
        for (ssize_t i = 0; i < n; ++i) {
            printf(" %02x", buf[i]);
        }
        printf("\n");
        for (ssize_t i = 0; i < n; ++i) {
            if (seen_len == sizeof seen) {
                memmove(seen, seen + 1, --seen_len);
            }
            seen[seen_len++] = buf[i];
            if (seen_len < probe_len || memcmp(seen + seen_len - probe_len, probe, probe_len) != 0) {
                continue;
            }
            seen_len = 0;
            long rate = line_rate(line);
            printf("probe at %ld\n", rate);
            if (silent) {
                printf("silent\n");
                continue;
            }
            if (baud != 0 && rate != -1 && rate != baud) {
                printf("ignored at %ld\n", rate);
                continue;
            }
            sleep_ms(delay);
            if (write(fd, reply, reply_len) != (ssize_t)reply_len) {
                perror("write");
                return 1;
            }
            printf("reply");
            for (size_t k = 0; k < reply_len; ++k) {
                printf(" %02x", reply[k]);
            }
            printf("\n");
        }
    }
}
