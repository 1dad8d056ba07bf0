#include "host/file_replacement.h"

#include "host/posix_file.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

using posix::encoded;
using posix::Fd;
using posix::PosixBinaryFile;

namespace {

const QString kMarker = QStringLiteral(".vantrel-");
const QString kSuffix = QStringLiteral(".tmp");
constexpr int kRandomLength = 6; // mkostemps' XXXXXX

QString temporaryPattern(const QString &fileName)
{
    return '.' + fileName + kMarker + QString(kRandomLength, 'X') + kSuffix;
}

[[noreturn]] void refuseToWrite(const QString &name, const QString &reason, ErrorKind kind)
{
    throw HostError(QStringLiteral("cannot write %1: %2").arg(name, reason), kind);
}

// Refuses with the reason and kind of a failed system call.
[[noreturn]] void refuseToWrite(const QString &name, const HostError &error)
{
    refuseToWrite(name, error.reason(), error.kind());
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Calls `visit(name, info)` for each of the program's temporary files in
// `directory` (regular files only, links never followed), with the dirfd
// for unlinkat.
template <typename Visit> void forEachReplacement(const QString &directory, Visit visit)
{
    DIR *dir = ::opendir(encoded(directory).constData());
    if (dir == nullptr)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::optional<QString> name = posix::strictUtf8(entry->d_name);
        if (!name || replacedFileName(*name).isEmpty())
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        visit(::dirfd(dir), entry->d_name, *name, info);
    }
    ::closedir(dir);
}

// Removes what killed writers of `fileName` left in `directory`. Names are
// compared without regard to case, as the drive compares them.
void removeStaleReplacements(const QString &directory, const QString &fileName)
{
    const std::time_t now = std::time(nullptr);
    forEachReplacement(
        directory, [&](int dirFd, const char *raw, const QString &name, const struct stat &info) {
            if (replacedFileName(name).compare(fileName, Qt::CaseInsensitive) != 0)
                return;
            if (now - info.st_mtime < kStaleReplacementSeconds)
                return;
            ::unlinkat(dirFd, raw, 0);
        });
}

// What the new file inherits from the one it replaces.
struct Inheritance {
    bool fromOldFile = false;
    struct stat old {};
};

// Gives the new file the old one's owner and group where the process may,
// then its permission bits. Set-user and set-group bits go only with the
// owner and group they were set for.
void inherit(int fd, const Inheritance &from)
{
    if (!from.fromOldFile) {
        ::fchmod(fd, 0666 & ~currentUmask());
        return;
    }
    const struct stat &old = from.old;
    mode_t mode = old.st_mode & 07777;
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // An ordinary user may still keep the group when a member of it.
            ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
            mode &= ~mode_t(S_ISUID | S_ISGID);
        }
    }
    ::fchmod(fd, mode);
}

// The new content in a temporary file beside the target until commit()
// renames it into place.
class RenamingReplacement : public posix::StagedReplacement {
public:
    RenamingReplacement(int fd, QByteArray temporary, QByteArray target, QString name,
                        Inheritance inheritance)
        : StagedReplacement(fd, name), m_temporary(std::move(temporary)),
          m_target(std::move(target)), m_name(std::move(name)), m_inheritance(inheritance)
    {}
    ~RenamingReplacement() override { discard(); }

    void close() override { discard(); }

    void startFrom(int old)
    {
        try {
            posix::copyContent(old, m_stage.descriptor());
        } catch (const HostError &error) {
            discard();
            refuseToWrite(m_name, error);
        }
    }

    void commit() override
    {
        if (m_done)
            throw HostError(QStringLiteral("%1 is closed").arg(m_name));
        const int fd = m_stage.descriptor();
        inherit(fd, m_inheritance);
        if (::fsync(fd) != 0)
            failAndDiscard();
        try {
            m_stage.close();
        } catch (const HostError &) {
            failAndDiscard();
        }
        if (::rename(m_temporary.constData(), m_target.constData()) != 0)
            failAndDiscard();
        m_done = true;
        const QByteArray directory = encoded(QFileInfo(QFile::decodeName(m_target)).absolutePath());
        Fd dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0)
            ::fsync(dir.get());
    }

private:
    [[noreturn]] void failAndDiscard()
    {
        const HostError error = posix::systemError();
        discard();
        refuseToWrite(m_name, error);
    }

    void discard()
    {
        if (m_done)
            return;
        m_done = true;
        try {
            m_stage.close();
        } catch (const HostError &) {
            // The new content is being thrown away anyway.
        }
        ::unlink(m_temporary.constData());
    }

    QByteArray m_temporary;
    QByteArray m_target;
    QString m_name;
    Inheritance m_inheritance;
    bool m_done = false;
};

// The new content in memory until commit() writes it over the target in
// place. The target stays untouched until then, and commit() changes its
// first byte only when the whole new content is ready and the space for it
// reserved.
class InPlaceReplacement : public posix::StagedReplacement {
public:
    InPlaceReplacement(int stage, Fd target, bool targetReadable, QString name)
        : StagedReplacement(stage, name), m_target(std::move(target)),
          m_targetReadable(targetReadable), m_name(std::move(name))
    {}

    void close() override { discard(); }

    void startFrom()
    {
        try {
            posix::copyContent(m_target.get(), m_stage.descriptor());
        } catch (const HostError &error) {
            discard();
            refuseToWrite(m_name, error);
        }
    }

    void commit() override
    {
        if (m_target.get() < 0)
            throw HostError(QStringLiteral("%1 is closed").arg(m_name));
        const int target = m_target.get();
        struct stat staged {
        }, old{};
        if (::fstat(m_stage.descriptor(), &staged) != 0 || ::fstat(target, &old) != 0)
            failAndDiscard(posix::systemError());
        // Space first: on a full disk the old content stays whole.
        if (staged.st_size > 0 &&
            ::fallocate(target, FALLOC_FL_KEEP_SIZE, 0, staged.st_size) != 0 &&
            errno != EOPNOTSUPP && errno != ENOSYS)
            failAndDiscard(posix::systemError());
        Fd backup;
        if (m_targetReadable) {
            backup = Fd(::memfd_create("vantrel-old-content", MFD_CLOEXEC));
            try {
                if (backup.get() < 0)
                    throw posix::systemError();
                posix::copyContent(target, backup.get());
            } catch (const HostError &error) {
                failAndDiscard(error);
            }
        }
        try {
            posix::copyContent(m_stage.descriptor(), target);
            if (::ftruncate(target, staged.st_size) != 0 || ::fsync(target) != 0)
                throw posix::systemError();
        } catch (const HostError &error) {
            failAndDiscard(
                HostError(error.reason() + putBack(backup.get(), old.st_size), error.kind()));
        }
        discard();
    }

private:
    // Writes the old content back after a failed overwrite; says how that
    // went, for the message.
    QString putBack(int backup, off_t length)
    {
        if (backup >= 0) {
            try {
                posix::copyContent(backup, m_target.get());
                if (::ftruncate(m_target.get(), length) == 0 && ::fsync(m_target.get()) == 0)
                    return QStringLiteral(" (the old content was put back)");
            } catch (const HostError &) {
                // Reported below.
            }
        }
        return QStringLiteral(" (the file may be damaged)");
    }

    [[noreturn]] void failAndDiscard(const HostError &error)
    {
        discard();
        refuseToWrite(m_name, error);
    }

    void discard()
    {
        m_target.reset();
        try {
            m_stage.close();
        } catch (const HostError &) {
            // Memory only: nothing is lost.
        }
    }

    Fd m_target;
    bool m_targetReadable;
    QString m_name;
};

// The file a replacement takes the place of: open when it is a regular
// file, with what the new file inherits from it.
struct OldFile {
    Fd fd;
    bool readable = false;
    Inheritance inheritance;
};

// Looks at what stands at `target` and opens it when it is a regular file,
// for writing in place and, where it may, for reading. Refuses what
// replaceNativeFile refuses.
OldFile openOldFile(const QByteArray &target, const QString &name, ReplaceFrom start)
{
    OldFile old;
    struct stat entry {};
    if (::lstat(target.constData(), &entry) != 0) {
        if (errno != ENOENT)
            refuseToWrite(name, posix::systemError());
        return old;
    }
    if (S_ISDIR(entry.st_mode))
        refuseToWrite(name, QStringLiteral("it is a directory"), ErrorKind::IsDirectory);
    // A link is replaced, never followed, so nothing of it is opened.
    if (S_ISLNK(entry.st_mode))
        return old;
    if (!S_ISREG(entry.st_mode))
        refuseToWrite(name, QStringLiteral("not a regular file"), ErrorKind::NotRegularFile);
    // Without any write permission the file is read-only, as the read-only
    // attribute makes it on a DOS disk: even the superuser does not
    // replace it.
    if ((entry.st_mode & 0222) == 0)
        refuseToWrite(name, QStringLiteral("the file is read-only"), ErrorKind::ReadOnly);
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    old.fd = Fd(::open(target.constData(), O_RDWR | flags));
    old.readable = old.fd.get() >= 0;
    if (!old.readable && errno == EACCES && start == ReplaceFrom::Nothing)
        old.fd = Fd(::open(target.constData(), O_WRONLY | flags));
    if (old.fd.get() < 0 || ::fstat(old.fd.get(), &old.inheritance.old) != 0)
        refuseToWrite(name, posix::systemError());
    if (!S_ISREG(old.inheritance.old.st_mode))
        refuseToWrite(name, QStringLiteral("not a regular file"),
                      posix::notRegularFileKind(old.inheritance.old.st_mode));
    old.inheritance.fromOldFile = true;
    return old;
}

// The replacement for a directory where no new file can be made but the
// old one may be written: the new content waits in memory.
std::unique_ptr<Replacement> replaceInPlace(OldFile old, const QString &name, ReplaceFrom start)
{
    const int stage = ::memfd_create("vantrel-new-content", MFD_CLOEXEC);
    if (stage < 0)
        refuseToWrite(name, posix::systemError());
    auto replacement =
        std::make_unique<InPlaceReplacement>(stage, std::move(old.fd), old.readable, name);
    if (start == ReplaceFrom::OldContent)
        replacement->startFrom();
    return replacement;
}

} // namespace

QString replacedFileName(const QString &fileName)
{
    const qsizetype tail = kMarker.size() + kRandomLength + kSuffix.size();
    if (fileName.size() < 2 + tail || !fileName.startsWith('.') || !fileName.endsWith(kSuffix))
        return {};
    const qsizetype marker = fileName.size() - tail;
    if (QStringView(fileName).mid(marker, kMarker.size()) != kMarker)
        return {};
    const QStringView random = QStringView(fileName).mid(marker + kMarker.size(), kRandomLength);
    const bool fromMkstemp = std::all_of(random.begin(), random.end(), [](QChar c) {
        return c.unicode() < 128 && c.isLetterOrNumber();
    });
    return fromMkstemp ? fileName.mid(1, marker - 1) : QString();
}

QStringList leftoverReplacements(const QString &directory)
{
    QStringList found;
    forEachReplacement(directory, [&](int, const char *, const QString &name, const struct stat &) {
        found << directory + '/' + name;
    });
    found.sort();
    return found;
}

std::unique_ptr<Replacement> replaceNativeFile(const QString &native, const QString &name,
                                               ReplaceFrom start)
{
    const QByteArray target = encoded(native);
    OldFile old = openOldFile(target, name, start);

    const QFileInfo info(native);
    const QString directory = info.absolutePath();
    removeStaleReplacements(directory, info.fileName());
    QByteArray pattern = encoded(directory + '/' + temporaryPattern(info.fileName()));
    const int fd = ::mkostemps(pattern.data(), int(kSuffix.size()), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if ((error == EACCES || error == EPERM) && old.fd.get() >= 0)
            return replaceInPlace(std::move(old), name, start);
        refuseToWrite(name, posix::systemError(error));
    }
    auto replacement =
        std::make_unique<RenamingReplacement>(fd, pattern, target, name, old.inheritance);
    if (start == ReplaceFrom::OldContent && old.fd.get() >= 0)
        replacement->startFrom(old.fd.get());
    return replacement;
}

} // namespace vantrel
