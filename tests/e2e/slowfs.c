/* A slow file system for the end-to-end tests: preloaded into Dirtally (LD_PRELOAD), it makes
 * every getdents64 call wait DIRTALLY_E2E_GETDENTS_DELAY_MS milliseconds before it reads, so a
 * run over a small tree lasts as long as a case needs to watch the window during it. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <time.h>

typedef ssize_t (*getdents64_call)(int, void*, size_t);

static getdents64_call real_getdents64;
static struct timespec delay;

__attribute__((constructor)) static void load(void) {
    real_getdents64 = (getdents64_call)dlsym(RTLD_NEXT, "getdents64");
    const char* text = getenv("DIRTALLY_E2E_GETDENTS_DELAY_MS");
    const long ms = text ? strtol(text, NULL, 10) : 0;
    if (ms > 0) {
        delay.tv_sec = ms / 1000;
        delay.tv_nsec = ms % 1000 * 1000000L;
    }
}

ssize_t getdents64(int fd, void* buffer, size_t length) {
    if (real_getdents64 == NULL) {
        errno = ENOSYS;
        return -1;
    }
    const int saved = errno;
    struct timespec left = delay;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    errno = saved;
    return real_getdents64(fd, buffer, length);
}
