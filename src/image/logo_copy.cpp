#include "image/logo_copy.h"

#include <span>
#include <vector>

namespace vantrel {

std::array<std::uint8_t, kHeaderBlockLength> copyLogoByBlocks(Host &host, const QString &source,
                                                              const QString &target)
{
    std::array<std::uint8_t, kHeaderBlockLength> header{};
    std::vector<std::uint8_t> pixels(kPixelAreaLength);
    const auto piece = [&pixels](std::size_t i) {
        return std::span(pixels).subspan(i * kPixelBlockLength, kPixelBlockLength);
    };

    const std::unique_ptr<BinaryFile> in = host.openBinary(source, FileAccess::Read);
    in->readAt(0, header);
    for (std::size_t i = 0; i < kPixelBlocks; ++i)
        in->read(piece(i));
    in->close();

    const std::unique_ptr<BinaryFile> out = host.openBinary(target, FileAccess::ReadWrite);
    out->writeAt(0, header);
    for (std::size_t i = 0; i < kPixelBlocks; ++i)
        out->write(piece(i));
    out->close();
    return header;
}

} // namespace vantrel
