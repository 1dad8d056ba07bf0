#include "codec/picture.h"

#include "codec/bmp_decoder.h"
#include "host/host_error.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

namespace {

// No picture worth showing is larger; a bigger file is read no further.
constexpr qint64 kMaxPictureFileBytes = qint64(256) << 20;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor however the reading ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }

private:
    int m_fd;
};

QByteArray readWholeFile(const QString &nativePath, const QString &displayName)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer before the
    // check below can refuse it.
    const Descriptor file(
        ::open(QFile::encodeName(nativePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        throw HostError(QStringLiteral("cannot open %1: %2").arg(displayName, systemError(errno)));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        throw HostError(QStringLiteral("cannot open %1: %2").arg(displayName, systemError(errno)));
    if (!S_ISREG(status.st_mode))
        throw HostError(QStringLiteral("cannot open %1: not a regular file").arg(displayName));
    if (status.st_size > kMaxPictureFileBytes) {
        throw HostError(QStringLiteral("%1 is too large to show: %2 bytes")
                            .arg(displayName, QString::number(status.st_size)));
    }

    QByteArray bytes(qsizetype(status.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t n =
            ::read(file.get(), bytes.data() + filled, std::size_t(bytes.size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            throw HostError(
                QStringLiteral("cannot read %1: %2").arg(displayName, systemError(errno)));
        }
        if (n == 0)
            break; // the file shrank since fstat: take what is there
        filled += n;
    }
    bytes.truncate(filled);
    return bytes;
}

} // namespace

QImage decodePicture(const QByteArray &bytes, const QString &displayName)
{
    const std::span<const std::uint8_t> data(
        reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    if (looksLikeBmp(data))
        return decodeBmp(data, displayName);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    if (image.isNull()) {
        throw HostError(
            QStringLiteral("cannot show %1: %2").arg(displayName, reader.errorString()));
    }
    return image;
}

QImage readPicture(const QString &nativePath, const QString &displayName)
{
    return decodePicture(readWholeFile(nativePath, displayName), displayName);
}

} // namespace vantrel
