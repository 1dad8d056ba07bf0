#include "host/disk/image_files.h"

#include "host/disk/image_lock.h"
#include "host/disk/mtools_drive.h"
#include "host/posix_file.h"

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

using posix::encoded;
using posix::fail;
using posix::PosixBinaryFile;

namespace {

const QString kPrivatePrefix = QStringLiteral("vantrel-image-");

std::shared_ptr<QTemporaryDir> privateDirectory(const QString &name)
{
    // The process id in the name tells a later run whether it is stale.
    auto directory = std::make_shared<QTemporaryDir>(
        QStringLiteral("%1/%2%3-XXXXXX").arg(QDir::tempPath(), kPrivatePrefix).arg(::getpid()));
    if (!directory->isValid()) {
        // QTemporaryDir's text comes from the errno its mkdir left.
        const int error = errno;
        throw HostError(QStringLiteral("cannot reach %1: no private directory for its copy in "
                                       "%2: %3")
                            .arg(name, QDir::tempPath(), directory->errorString()),
                        posix::errorKind(error));
    }
    return directory;
}

int openCopy(const QString &path, int flags, const QString &name)
{
    const int fd = ::open(encoded(path).constData(), flags | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        fail(QStringLiteral("cannot open the copy of"), name);
    return fd;
}

// Copies the file at `inside`, when there is one, to the native file `to`
// and says whether there was. A directory there is refused, the message
// starting with `verb` ("cannot write C:\x: it is a directory").
bool copyOldContent(const MtoolsDrive &drive, const QString &inside, const QString &to,
                    const QString &name, const QString &verb)
{
    const std::optional<MtoolsDrive::Entry> old = drive.find(inside, name);
    if (old && old->directory)
        throw HostError(QStringLiteral("%1 %2: it is a directory").arg(verb, name),
                        ErrorKind::IsDirectory);
    if (old)
        drive.copyOut(inside, to, name, old->size);
    return old.has_value();
}

// Puts the native file `native` into the image, refusing while another
// program uses it.
void putIntoImage(const DiskVolume &volume, const QString &native, const QString &inside,
                  const QString &name)
{
    ImageWriteLock lock(volume.image, name);
    MtoolsDrive(volume).put(native, inside, name);
    lock.flush();
}

// A private copy worked on in place; `dirty` says it must go back.
class ImageBinaryFile : public BinaryFile {
public:
    ImageBinaryFile(std::shared_ptr<QTemporaryDir> directory, QString copy, int fd,
                    DiskVolume volume, QString inside, QString name, bool isNew)
        : m_directory(std::move(directory)), m_copy(std::move(copy)), m_file(fd, name),
          m_volume(std::move(volume)), m_inside(std::move(inside)), m_name(std::move(name)),
          m_dirty(isNew)
    {}
    ~ImageBinaryFile() override
    {
        try {
            close();
        } catch (const HostError &) {
            // Whoever needs to know calls close() first.
        }
    }

    void readAt(std::int64_t offset, std::span<std::uint8_t> into) override
    {
        m_file.readAt(offset, into);
    }
    void read(std::span<std::uint8_t> into) override { m_file.read(into); }
    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override
    {
        m_file.writeAt(offset, data);
        m_dirty = true;
    }
    void write(std::span<const std::uint8_t> data) override
    {
        m_file.write(data);
        m_dirty = true;
    }
    void close() override
    {
        if (m_closed)
            return;
        m_closed = true;
        m_file.close();
        if (m_dirty)
            putIntoImage(m_volume, m_copy, m_inside, m_name);
        m_directory.reset();
    }

private:
    std::shared_ptr<QTemporaryDir> m_directory;
    QString m_copy;
    PosixBinaryFile m_file;
    DiskVolume m_volume;
    QString m_inside;
    QString m_name;
    bool m_dirty;
    bool m_closed = false;
};

// The new content in a private file until commit() puts it into the image.
class ImageReplacement : public posix::StagedReplacement {
public:
    ImageReplacement(std::shared_ptr<QTemporaryDir> directory, QString staged, int fd,
                     DiskVolume volume, QString inside, QString name)
        : StagedReplacement(fd, name), m_directory(std::move(directory)),
          m_staged(std::move(staged)), m_volume(std::move(volume)), m_inside(std::move(inside)),
          m_name(std::move(name))
    {}

    void close() override { discard(); }

    void commit() override
    {
        if (!m_directory)
            throw HostError(QStringLiteral("%1 is closed").arg(m_name));
        try {
            m_stage.close();
            putIntoImage(m_volume, m_staged, m_inside, m_name);
        } catch (const HostError &) {
            discard();
            throw;
        }
        discard();
    }

private:
    void discard()
    {
        try {
            m_stage.close();
        } catch (const HostError &) {
            // The new content is being thrown away anyway.
        }
        m_directory.reset();
    }

    std::shared_ptr<QTemporaryDir> m_directory;
    QString m_staged;
    DiskVolume m_volume;
    QString m_inside;
    QString m_name;
};

} // namespace

void removeStalePrivateDirectories()
{
    const QDir temp(QDir::tempPath());
    for (const QString &entry :
         temp.entryList({kPrivatePrefix + '*'}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        bool isNumber = false;
        const qint64 pid =
            entry.mid(kPrivatePrefix.size()).section('-', 0, 0).toLongLong(&isNumber);
        struct stat info {};
        if (!isNumber || pid <= 0 || pid > std::numeric_limits<pid_t>::max() ||
            ::lstat(encoded(temp.filePath(entry)).constData(), &info) != 0 ||
            !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(temp.filePath(entry)).removeRecursively();
    }
}

LocalFile copyOutOfImage(const DiskVolume &volume, const QString &inside, const QString &name)
{
    std::shared_ptr<QTemporaryDir> directory = privateDirectory(name);
    // Under its own name, for the title of a program that shows it.
    const QString fileName = inside.mid(inside.lastIndexOf('/') + 1);
    const QString copy =
        directory->filePath(fileName.isEmpty() ? QStringLiteral("copy") : fileName);
    MtoolsDrive(volume).copyOut(inside, copy, name);
    return LocalFile(copy, std::move(directory));
}

std::unique_ptr<Replacement> replaceImageFile(const DiskVolume &volume, const QString &inside,
                                              const QString &name, ReplaceFrom start)
{
    const MtoolsDrive drive(volume);
    std::shared_ptr<QTemporaryDir> directory = privateDirectory(name);
    const QString staged = directory->filePath(QStringLiteral("new"));
    if (start == ReplaceFrom::OldContent)
        copyOldContent(drive, inside, staged, name, QStringLiteral("cannot write"));
    const int fd = openCopy(staged, O_RDWR | O_CREAT, name);
    return std::make_unique<ImageReplacement>(std::move(directory), staged, fd, volume, inside,
                                              name);
}

std::unique_ptr<BinaryFile> openImageFile(const DiskVolume &volume, const QString &inside,
                                          const QString &name, FileAccess access)
{
    const MtoolsDrive drive(volume);
    std::shared_ptr<QTemporaryDir> directory = privateDirectory(name);
    const QString copy = directory->filePath(QStringLiteral("copy"));
    if (access == FileAccess::Read) {
        drive.copyOut(inside, copy, name);
        return std::make_unique<PosixBinaryFile>(openCopy(copy, O_RDONLY, name), name);
    }
    const bool existed = copyOldContent(drive, inside, copy, name, QStringLiteral("cannot open"));
    const int fd = openCopy(copy, O_RDWR | O_CREAT, name);
    return std::make_unique<ImageBinaryFile>(std::move(directory), copy, fd, volume, inside, name,
                                             !existed);
}

void checkImageWritable(const DiskVolume &volume, const QString &name)
{
    const ImageWriteLock probe(volume.image, name);
}

void deleteImageFile(const DiskVolume &volume, const QString &inside, const QString &name)
{
    ImageWriteLock lock(volume.image, name);
    MtoolsDrive(volume).remove(inside, name);
    lock.flush();
}

void makeImageDirectories(const DiskVolume &volume, const QString &inside, const QString &name)
{
    const MtoolsDrive drive(volume);
    std::optional<ImageWriteLock> lock;
    QString path;
    for (const QString &part : inside.split('/', Qt::SkipEmptyParts)) {
        path += '/' + part;
        const std::optional<MtoolsDrive::Entry> entry = drive.find(path, name);
        if (entry && entry->directory)
            continue;
        if (entry) {
            throw HostError(
                QStringLiteral("cannot make the directory %1: %2 is a file").arg(name, path));
        }
        if (!lock)
            lock.emplace(volume.image, name);
        drive.makeDirectory(path, name);
    }
    if (lock)
        lock->flush();
}

std::int64_t imageFileLength(const DiskVolume &volume, const QString &inside, const QString &name)
{
    const std::optional<MtoolsDrive::Entry> entry = MtoolsDrive(volume).find(inside, name);
    if (!entry)
        throw HostError(QStringLiteral("cannot find %1: No such file or directory").arg(name),
                        ErrorKind::NotFound);
    if (entry->directory)
        throw HostError(QStringLiteral("%1 is a directory").arg(name), ErrorKind::IsDirectory);
    return entry->size;
}

} // namespace vantrel
