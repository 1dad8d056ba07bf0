#include "host/file_lock.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace vantrel {

namespace {

// The longest process id written into a lock file, with its newline.
constexpr std::size_t kHolderLength = 24;

struct flock exclusiveLock()
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    return lock;
}

// Whether someone holds the lock, as F_OFD_GETLK sees it.
bool stillHeld(int fd)
{
    struct flock probe = exclusiveLock();
    return ::fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
}

// "process N" for the holder that wrote its id into the lock file, or
// "another process" when none can be read.
QString holder(int fd)
{
    char text[kHolderLength + 1] = {};
    const ssize_t n = ::pread(fd, text, kHolderLength, 0);
    bool ok = false;
    const qint64 pid = QByteArray(text, n > 0 ? qsizetype(n) : 0).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        return QStringLiteral("another process");
    return QStringLiteral("process %1").arg(pid);
}

} // namespace

ExclusiveFileLock::ExclusiveFileLock(const QString &native, std::chrono::milliseconds wait)
    : m_fd(::open(posix::encoded(native).constData(),
                  O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600))
{
    if (m_fd.get() < 0)
        posix::fail(QStringLiteral("cannot lock"), native);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        struct flock lock = exclusiveLock();
        if (::fcntl(m_fd.get(), F_OFD_SETLK, &lock) == 0)
            break;
        if (errno != EAGAIN && errno != EACCES && errno != EINTR)
            posix::fail(QStringLiteral("cannot lock"), native);
        // A holder that let go just now is no reason to give up.
        if (std::chrono::steady_clock::now() >= deadline && stillHeld(m_fd.get())) {
            throw HostError(QStringLiteral("%1 is in use by %2").arg(native, holder(m_fd.get())),
                            ErrorKind::InUse);
        }
        // Short at first, since a holder usually lets go within
        // milliseconds, and never longer than 20 ms.
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    // For a waiter that gives up to name the holder; the lock is what
    // excludes, so a failure here changes nothing.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(m_fd.get(), 0) == 0)
        (void)!::pwrite(m_fd.get(), pid.constData(), std::size_t(pid.size()), 0);
}

} // namespace vantrel
