#include "host/disk/image_lock.h"

#include "host/host.h"

#include <QFile>

#include <cerrno>

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

QByteArray baseName(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// The program process `pid` runs, by the name of its file: `comm` is cut
// to 15 bytes ("qemu-system-i38"). From the command line when the file is
// hidden, as another user's is; from `comm` as the last resort.
QString programName(const QByteArray &pid)
{
    char link[4096];
    const ssize_t n = ::readlink(("/proc/" + pid + "/exe").constData(), link, sizeof link);
    QByteArray name;
    if (n > 0)
        name = baseName(QByteArray(link, qsizetype(n))).replace(" (deleted)", "");
    if (name.isEmpty())
        name = baseName(readSmallFile("/proc/" + pid + "/cmdline").split('\0').value(0));
    if (name.isEmpty())
        name = readSmallFile("/proc/" + pid + "/comm").trimmed();
    return QString::fromUtf8(name);
}

// The same file by device and inode.
bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether process `pid` is this program, the window or the console tool.
bool isVantrel(const QByteArray &pid)
{
    const QString name = programName(pid);
    if (name == QLatin1String("vantrel") || name == "vantrel-cli")
        return true;
    struct stat theirs {};
    struct stat ours {};
    return ::stat(("/proc/" + pid + "/exe").constData(), &theirs) == 0 &&
           ::stat("/proc/self/exe", &ours) == 0 && sameFile(theirs, ours);
}

QByteArray parentOf(const QByteArray &pid)
{
    const QByteArray status = readSmallFile("/proc/" + pid + "/status");
    const qsizetype at = status.indexOf("PPid:");
    if (at < 0)
        return {};
    return status.mid(at + 5, status.indexOf('\n', at) - at - 5).trimmed();
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

// Whether process `pid` has a file open that is `image`, by whatever
// path: a hard link and a bind mount name the same inode.
bool holds(const QByteArray &pid, const struct stat &image)
{
    DIR *fds = ::opendir(("/proc/" + pid + "/fd").constData());
    if (fds == nullptr)
        return false; // another user's, or gone
    bool found = false;
    while (const dirent *fd = found ? nullptr : ::readdir(fds)) {
        struct stat target {};
        found = isNumber(fd->d_name) && ::fstatat(::dirfd(fds), fd->d_name, &target, 0) == 0 &&
                sameFile(target, image);
    }
    ::closedir(fds);
    return found;
}

[[noreturn]] void refuse(const QString &name, const QString &image, const ImageUser &user)
{
    if (user.vantrel)
        throw HostError(QStringLiteral("cannot write %1: another Vantrel (%2, process %3) is "
                                       "writing to the disk image %4; try again once it is done")
                            .arg(name, user.program, user.pid, image),
                        ErrorKind::InUse);
    throw HostError(QStringLiteral("cannot write %1: the disk image %2 is in use by %3; shut the "
                                   "machine down first")
                        .arg(name, image, user.description()),
                    ErrorKind::InUse);
}

} // namespace

std::optional<ImageUser> imageUser(const QString &image)
{
    struct stat wanted {};
    if (::stat(encoded(image).constData(), &wanted) != 0)
        return std::nullopt;
    const QByteArray self = QByteArray::number(qint64(::getpid()));
    const QList<QByteArray> threadNames = ownThreadNames();
    DIR *processes = ::opendir("/proc");
    if (processes == nullptr)
        return std::nullopt;
    std::optional<ImageUser> found;
    while (const dirent *process = ::readdir(processes)) {
        if (!isNumber(process->d_name) || self == process->d_name ||
            !holds(process->d_name, wanted))
            continue;
        QByteArray pid(process->d_name);
        // A child that a thread of this program has forked and that has not
        // yet started its own program holds this program's files for a
        // moment, under the thread's name; it is no emulator.
        if (parentOf(pid) == self && threadNames.contains(readSmallFile("/proc/" + pid + "/comm")))
            continue;
        // An mtools child of another Vantrel stands for its parent.
        if (const QByteArray parent = parentOf(pid);
            !isVantrel(pid) && !parent.isEmpty() && parent != self && isVantrel(parent))
            pid = parent;
        const ImageUser user{programName(pid), QString::fromLatin1(pid), isVantrel(pid)};
        // An emulator is the lasting reason; another Vantrel ends soon.
        if (!found || (found->vantrel && !user.vantrel))
            found = user;
        if (!found->vantrel)
            break;
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
    const std::optional<ImageUser> user = imageUser(image);
    // An OFD lock does not say whose it is; whoever has the image open is
    // the best guess. One that only reads it counts too: a running guest
    // keeps the FAT in its cache.
    if (::fcntl(m_fd.get(), F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK)
        refuse(name, image, user.value_or(ImageUser{QStringLiteral("another program"), {}, false}));
    if (user)
        refuse(name, image, *user);
    if (::fcntl(m_fd.get(), F_OFD_SETLK, &lock) != 0) {
        if (errno == EAGAIN || errno == EACCES)
            refuse(name, image, ImageUser{QStringLiteral("another program"), {}, false});
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
