#include "image/logo_file.h"

#include "codec/logo_format.h"

#include <algorithm>
#include <array>

namespace vantrel {

QString logoProblemOf(Host &host, const QString &path)
{
    const std::int64_t length = host.fileLength(path);
    std::array<std::uint8_t, kPaletteOffset> header{};
    const auto present =
        static_cast<std::size_t>(std::clamp<std::int64_t>(length, 0, std::int64_t(header.size())));
    const std::span<std::uint8_t> start(header.data(), present);
    host.openBinary(path, FileAccess::Read)->readAt(0, start);
    return logoBitmapProblem(start, length);
}

std::vector<std::uint8_t> readLogoFile(Host &host, const QString &path)
{
    const std::int64_t length = host.fileLength(path);
    if (!passesLengthTest(length)) {
        throw HostError(
            QStringLiteral("%1: not a logo bitmap: %2").arg(path, logoBitmapProblem({}, length)));
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kLogoLength));
    const std::unique_ptr<BinaryFile> file = host.openBinary(path, FileAccess::Read);
    file->readAt(0, bytes);
    file->close();
    const QString problem = logoBitmapProblem(bytes, length);
    if (!problem.isEmpty())
        throw HostError(QStringLiteral("%1: not a logo bitmap: %2").arg(path, problem));
    return bytes;
}

void writeWholeFile(Host &host, const QString &path, QByteArrayView bytes)
{
    const std::unique_ptr<Replacement> file = host.replaceFile(path, ReplaceFrom::Nothing);
    file->write({reinterpret_cast<const std::uint8_t *>(bytes.data()), std::size_t(bytes.size())});
    file->commit();
}

namespace {

QString fileName(const QString &path)
{
    return path.mid(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1);
}

} // namespace

QString withExtension(const QString &path, const QString &extension)
{
    return fileName(path).contains('.') ? path : path + extension;
}

QString fileBaseName(const QString &path)
{
    const QString name = fileName(path);
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.left(dot) : name;
}

} // namespace vantrel
