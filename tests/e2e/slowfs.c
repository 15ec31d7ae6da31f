/* A slow file system, preloaded (LD_PRELOAD) into Dirtally by the end-to-end tests and into
 * Dirtally and its peers by the benchmark. Each variable sets a wait in milliseconds before the
 * calls it names go to the system:
 *
 *   DIRTALLY_E2E_GETDENTS_DELAY_MS  getdents64, so a run over a small tree lasts as long as a
 *                                   case needs to watch the window during it
 *   DIRTALLY_E2E_STAT_DELAY_MS      statx, fstatat, stat and lstat: a file system where every
 *                                   attribute is a round trip (a network or FUSE file system)
 *   DIRTALLY_E2E_READDIR_DELAY_MS   for programs that read folders through glibc's readdir,
 *                                   whose own getdents64 calls cannot be caught: opendir and
 *                                   fdopendir stand for the first batch, the readdir that finds
 *                                   the end for the last, as for a folder that fits one batch */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

static struct timespec getdents_delay;
static struct timespec stat_delay;
static struct timespec readdir_delay;

static void set_delay(struct timespec* delay, const char* variable) {
    const char* text = getenv(variable);
    const long ms = text ? strtol(text, NULL, 10) : 0;
    if (ms > 0) {
        delay->tv_sec = ms / 1000;
        delay->tv_nsec = ms % 1000 * 1000000L;
    }
}

__attribute__((constructor)) static void load(void) {
    set_delay(&getdents_delay, "DIRTALLY_E2E_GETDENTS_DELAY_MS");
    set_delay(&stat_delay, "DIRTALLY_E2E_STAT_DELAY_MS");
    set_delay(&readdir_delay, "DIRTALLY_E2E_READDIR_DELAY_MS");
}

static void wait_for(const struct timespec* delay) {
    if (delay->tv_sec == 0 && delay->tv_nsec == 0) {
        return;
    }
    const int saved = errno;
    struct timespec left = *delay;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    errno = saved;
}

/* Calls the next definition of `name` (the system's), or fails with ENOSYS where there is none. */
#define CALL_REAL(name, failure, ...)                      \
    static __typeof__(name)* real = NULL;                  \
    if (real == NULL) {                                    \
        real = (__typeof__(name)*)dlsym(RTLD_NEXT, #name); \
    }                                                      \
    if (real == NULL) {                                    \
        errno = ENOSYS;                                    \
        return failure;                                    \
    }                                                      \
    return real(__VA_ARGS__)

ssize_t getdents64(int fd, void* buffer, size_t length) {
    wait_for(&getdents_delay);
    CALL_REAL(getdents64, -1, fd, buffer, length);
}

int statx(int at, const char* path, int flags, unsigned int mask, struct statx* info) {
    wait_for(&stat_delay);
    CALL_REAL(statx, -1, at, path, flags, mask, info);
}

int fstatat(int at, const char* path, struct stat* info, int flags) {
    wait_for(&stat_delay);
    CALL_REAL(fstatat, -1, at, path, info, flags);
}

int fstatat64(int at, const char* path, struct stat64* info, int flags) {
    wait_for(&stat_delay);
    CALL_REAL(fstatat64, -1, at, path, info, flags);
}

int stat(const char* path, struct stat* info) {
    wait_for(&stat_delay);
    CALL_REAL(stat, -1, path, info);
}

int stat64(const char* path, struct stat64* info) {
    wait_for(&stat_delay);
    CALL_REAL(stat64, -1, path, info);
}

int lstat(const char* path, struct stat* info) {
    wait_for(&stat_delay);
    CALL_REAL(lstat, -1, path, info);
}

int lstat64(const char* path, struct stat64* info) {
    wait_for(&stat_delay);
    CALL_REAL(lstat64, -1, path, info);
}

DIR* opendir(const char* path) {
    wait_for(&readdir_delay);
    CALL_REAL(opendir, NULL, path);
}

DIR* fdopendir(int fd) {
    wait_for(&readdir_delay);
    CALL_REAL(fdopendir, NULL, fd);
}

static void wait_at_end(const void* entry) {
    if (entry == NULL) {
        wait_for(&readdir_delay);
    }
}

struct dirent* readdir(DIR* dir) {
    static __typeof__(readdir)* real = NULL;
    if (real == NULL) {
        real = (__typeof__(readdir)*)dlsym(RTLD_NEXT, "readdir");
    }
    struct dirent* entry = real ? real(dir) : NULL;
    wait_at_end(entry);
    return entry;
}

struct dirent64* readdir64(DIR* dir) {
    static __typeof__(readdir64)* real = NULL;
    if (real == NULL) {
        real = (__typeof__(readdir64)*)dlsym(RTLD_NEXT, "readdir64");
    }
    struct dirent64* entry = real ? real(dir) : NULL;
    wait_at_end(entry);
    return entry;
}
