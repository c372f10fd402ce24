#include "FileCreation.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int CreateExclusive(const char* path, int mode)
{
    int fd;
    do {
        fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int RenameNoReplace(const char* from, const char* to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    // The name is ours once the empty file stands there.
    const int fd = CreateExclusive(to, 0600);
    if (fd < 0)
        return errno;
    ::close(fd);
    if (::rename(from, to) == 0)
        return 0;
    const int error = errno;
    ::unlink(to);
    return error;
}
