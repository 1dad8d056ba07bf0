#include "host/posix_file.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::posix {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString systemReason()
{
    return systemReason(errno);
}

ErrorKind errorKind(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ErrorKind::NotFound;
    case EISDIR:
        return ErrorKind::IsDirectory;
    case EROFS:
        return ErrorKind::ReadOnly;
    case EACCES:
    case EPERM:
        return ErrorKind::NoPermission;
    case EBUSY:
    case ETXTBSY:
        return ErrorKind::InUse;
    default:
        return ErrorKind::Other;
    }
}

HostError systemError(int error)
{
    return HostError(systemReason(error), errorKind(error));
}

HostError systemError()
{
    return systemError(errno);
}

void fail(const QString &what, const QString &name)
{
    const int error = errno;
    throw HostError(QStringLiteral("%1 %2: %3").arg(what, name, systemReason(error)),
                    errorKind(error));
}

ErrorKind notRegularFileKind(mode_t mode)
{
    return S_ISDIR(mode) ? ErrorKind::IsDirectory : ErrorKind::NotRegularFile;
}

QByteArray encoded(const QString &nativePath)
{
    return QFile::encodeName(nativePath);
}

void Fd::reset()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

Fd openWithoutWaiting(const QString &native, int flags, struct stat &status)
{
    Fd fd(::open(encoded(native).constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (fd.get() >= 0 && ::fstat(fd.get(), &status) != 0) {
        const int error = errno;
        fd.reset();
        errno = error;
    }
    return fd;
}

RegularFile openRegularFileToRead(const QString &native, const QString &name)
{
    struct stat status {};
    RegularFile file{openWithoutWaiting(native, O_RDONLY, status), 0};
    if (file.fd.get() < 0)
        fail(QStringLiteral("cannot open"), name);
    if (!S_ISREG(status.st_mode)) {
        throw HostError(QStringLiteral("cannot open %1: not a regular file").arg(name),
                        notRegularFileKind(status.st_mode));
    }
    file.length = status.st_size;
    return file;
}

QByteArray readWhole(const RegularFile &file, const QString &name)
{
    QByteArray bytes(qsizetype(file.length), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t n = ::pread(file.fd.get(), bytes.data() + filled,
                                  std::size_t(bytes.size() - filled), filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(QStringLiteral("cannot read"), name);
        if (n == 0)
            break; // the file shrank since it was opened: take what is there
        filled += n;
    }
    bytes.truncate(filled);
    return bytes;
}

void writeAll(int fd, std::span<const std::uint8_t> data, std::int64_t offset)
{
    const std::uint8_t *at = data.data();
    std::size_t size = data.size();
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, at, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw systemError();
        if (n == 0)
            throw systemError(EIO);
        at += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
}

void copyContent(int from, int to)
{
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::int64_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw systemError();
        if (n == 0)
            return;
        writeAll(to, std::span<const std::uint8_t>(buffer.data(), std::size_t(n)), offset);
        offset += n;
    }
}

PosixBinaryFile::~PosixBinaryFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void PosixBinaryFile::readAt(std::int64_t offset, std::span<std::uint8_t> into)
{
    requireOpen();
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t n = ::pread(m_fd, into.data() + done, into.size() - done,
                                  offset + static_cast<std::int64_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(QStringLiteral("cannot read"), m_name);
        if (n == 0) {
            throw HostError(QStringLiteral("cannot read %1: the file ends at byte %2")
                                .arg(m_name)
                                .arg(offset + static_cast<std::int64_t>(done)),
                            ErrorKind::CutShort);
        }
        done += static_cast<std::size_t>(n);
    }
    m_position = offset + static_cast<std::int64_t>(into.size());
}

void PosixBinaryFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> data)
{
    requireOpen();
    try {
        writeAll(m_fd, data, offset);
    } catch (const HostError &error) {
        throw HostError(QStringLiteral("cannot write %1: %2").arg(m_name, error.reason()),
                        error.kind());
    }
    m_position = offset + static_cast<std::int64_t>(data.size());
}

void PosixBinaryFile::close()
{
    if (m_fd < 0)
        return;
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        fail(QStringLiteral("cannot close"), m_name);
}

void PosixBinaryFile::requireOpen() const
{
    if (m_fd < 0)
        throw HostError(QStringLiteral("%1 is closed").arg(m_name));
}

std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    // Qt's decoder drops a leading byte order mark unless told not to; in a
    // name it is a character like any other, and dropping it names another
    // file.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString quotedBytes(QByteArrayView bytes)
{
    QString quoted = QStringLiteral("$'");
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '\\' || c == '\'') {
            quoted += QLatin1Char('\\');
            quoted += QLatin1Char(char(c));
        } else if (c >= 0x20 && c < 0x7f) {
            quoted += QLatin1Char(char(c));
        } else {
            quoted += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        }
    }
    return quoted + '\'';
}

} // namespace vantrel::posix
