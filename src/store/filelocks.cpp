#include "filelocks.h"

#include "engine.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace store {

namespace {

// The lock bytes of the engine's file locking on Unix: a reader takes a
// shared lock on the pending byte and then on the shared range; a writer
// that commits holds the pending byte and then the whole shared range
// exclusively. The reserved byte between them does not keep readers out.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kSharedFirst = kPendingByte + 2;
constexpr off_t kSharedSize = 510;

bool rangeHeldForWriting(int fd, off_t start, off_t length)
{
    struct flock probe = {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    if (fcntl(fd, F_GETLK, &probe) != 0)
        return false;
    return probe.l_type != F_UNLCK;
}

} // namespace

bool DatabaseFileIsLocked(const QString &path)
{
    // Closing a descriptor of a file drops every lock this process holds on
    // it, those of its own connections included: a file this process has a
    // connection to is never probed (it opened, so it is not kept from us).
    if (Registry::isOpen(path))
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = rangeHeldForWriting(fd, kPendingByte, 1)
                        || rangeHeldForWriting(fd, kSharedFirst, kSharedSize);
    ::close(fd);
    return locked;
}

} // namespace store
