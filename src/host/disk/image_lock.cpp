#include "host/disk/image_lock.h"

#include "host/host.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

using posix::encoded;
using posix::Fd;
using posix::systemReason;

namespace {

bool isNumber(const char *text)
{
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

QByteArray readSmallFile(const QByteArray &path)
{
    const Fd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return {};
    char buffer[1024];
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, qsizetype(n)) : QByteArray();
}

// The access mode of descriptor `fd` of process `pid`, from its fdinfo;
// O_RDONLY when it cannot be read.
int accessMode(const QByteArray &pid, const char *fd)
{
    const QByteArray info = readSmallFile("/proc/" + pid + "/fdinfo/" + fd);
    const qsizetype at = info.indexOf("flags:");
    if (at < 0)
        return O_RDONLY;
    const long flags = std::strtol(info.constData() + at + 6, nullptr, 8);
    return int(flags) & O_ACCMODE;
}

// The parent of process `pid`, from /proc/PID/stat ("pid (comm) state
// ppid ..."; the name may hold spaces and parentheses, so the fields are
// read after the last ')'). Empty when it cannot be read.
QByteArray parentOf(const QByteArray &pid)
{
    const QByteArray stat = readSmallFile("/proc/" + pid + "/stat");
    const qsizetype end = stat.lastIndexOf(')');
    if (end < 0)
        return {};
    const QList<QByteArray> fields = stat.mid(end + 1).simplified().split(' ');
    return fields.size() > 1 ? fields[1] : QByteArray();
}

// The names of this program's threads, as /proc/self/task/*/comm holds them.
QList<QByteArray> ownThreadNames()
{
    QList<QByteArray> names;
    DIR *tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr)
        return names;
    while (const dirent *task = ::readdir(tasks)) {
        if (isNumber(task->d_name))
            names << readSmallFile(QByteArray("/proc/self/task/") + task->d_name + "/comm");
    }
    ::closedir(tasks);
    return names;
}

QString describeProcess(const QByteArray &pid)
{
    const QString name = QString::fromUtf8(readSmallFile("/proc/" + pid + "/comm")).trimmed();
    return QStringLiteral("%1 (process %2)")
        .arg(name.isEmpty() ? QStringLiteral("a program") : name, QString::fromLatin1(pid));
}

[[noreturn]] void refuse(const QString &name, const QString &image, const QString &user)
{
    throw HostError(QStringLiteral("cannot write %1: the disk image %2 is in use by %3; shut the "
                                   "machine down first")
                        .arg(name, image, user),
                    ErrorKind::InUse);
}

} // namespace

QString imageUser(const QString &image, bool writersOnly)
{
    const QByteArray target = encoded(image);
    const QByteArray self = QByteArray::number(qint64(::getpid()));
    const QList<QByteArray> threadNames = ownThreadNames();
    DIR *processes = ::opendir("/proc");
    if (processes == nullptr)
        return {};
    QString found;
    while (found.isEmpty()) {
        const dirent *process = ::readdir(processes);
        if (process == nullptr)
            break;
        if (!isNumber(process->d_name) || self == process->d_name)
            continue;
        const QByteArray pid(process->d_name);
        // A child that a thread of this program has forked and that has not
        // yet started its own program holds this program's files for a
        // moment, under the thread's name; it is no emulator.
        if (parentOf(pid) == self && threadNames.contains(readSmallFile("/proc/" + pid + "/comm")))
            continue;
        DIR *fds = ::opendir(("/proc/" + pid + "/fd").constData());
        if (fds == nullptr)
            continue; // another user's, or gone
        char link[4096];
        while (const dirent *fd = ::readdir(fds)) {
            if (!isNumber(fd->d_name))
                continue;
            const ssize_t n = ::readlinkat(::dirfd(fds), fd->d_name, link, sizeof link);
            if (n != target.size() || std::memcmp(link, target.constData(), std::size_t(n)) != 0)
                continue;
            if (!writersOnly || accessMode(pid, fd->d_name) != O_RDONLY) {
                found = describeProcess(pid);
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(processes);
    return found;
}

ImageWriteLock::ImageWriteLock(const QString &image, const QString &name)
    : m_name(name), m_fd(::open(encoded(image).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC))
{
    if (m_fd.get() < 0) {
        const int error = errno;
        throw HostError(QStringLiteral("cannot write %1: cannot open the disk image %2: %3")
                            .arg(name, image, systemReason(error)),
                        posix::errorKind(error));
    }
    // An image without any write permission was made read-only on purpose,
    // as a slot file without one is: even the superuser leaves it.
    struct stat info {};
    if (::fstat(m_fd.get(), &info) == 0 && (info.st_mode & 0222) == 0)
        throw HostError(
            QStringLiteral("cannot write %1: the disk image %2 is read-only").arg(name, image),
            ErrorKind::ReadOnly);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however far it grows
    struct flock probe = lock;
    if (::fcntl(m_fd.get(), F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
        // An OFD lock does not say whose it is; whoever has the image open
        // is the best guess.
        const QString user = imageUser(image, false);
        refuse(name, image, user.isEmpty() ? QStringLiteral("another program") : user);
    }
    if (const QString writer = imageUser(image, true); !writer.isEmpty())
        refuse(name, image, writer);
    if (::fcntl(m_fd.get(), F_OFD_SETLK, &lock) != 0) {
        if (errno == EAGAIN || errno == EACCES)
            refuse(name, image, QStringLiteral("another program"));
        const int error = errno;
        throw HostError(QStringLiteral("cannot write %1: cannot lock the disk image %2: %3")
                            .arg(name, image, systemReason(error)),
                        posix::errorKind(error));
    }
}

void ImageWriteLock::flush()
{
    if (::fsync(m_fd.get()) != 0)
        posix::fail(QStringLiteral("cannot write"), m_name);
}

} // namespace vantrel
