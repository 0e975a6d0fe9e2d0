/* Loaded into ffmpeg with LD_PRELOAD: writes to the files whose path holds
 * $VANTOR_FULL_PATH_PART fail with ENOSPC once they would reach past
 * $VANTOR_FULL_AT bytes, as on a disk that fills while the file is written. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef ssize_t (*WriteFunction)(int, const void *, size_t);

static int watched(int fd)
{
    const char *part = getenv("VANTOR_FULL_PATH_PART");
    char link[64];
    char target[4096];
    if (!part || !*part)
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return 0;
    target[length] = '\0';
    return strstr(target, part) != NULL;
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    static WriteFunction next;
    if (!next)
        next = (WriteFunction)dlsym(RTLD_NEXT, "write");
    const char *room = getenv("VANTOR_FULL_AT");
    if (room && watched(fd)) {
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (at >= 0 && at + (off_t)count > atoll(room)) {
            errno = ENOSPC;
            return -1;
        }
    }
    return next(fd, buffer, count);
}
