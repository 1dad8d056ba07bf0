#include "image/animate.h"

#include "codec/logo_format.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vantrel {

void AnimateLogo(Host &host, const QString &source, const QString &target, int start, bool reverse)
{
    if (start < kMinStartEntry || start > kMaxStartEntry) {
        throw HostError(QStringLiteral("the starting entry must be %1 to %2, not %3")
                            .arg(kMinStartEntry)
                            .arg(kMaxStartEntry)
                            .arg(start));
    }
    const std::int64_t length = host.fileLength(source);
    if (!passesLengthTest(length)) {
        throw HostError(QStringLiteral("%1: not a logo bitmap: %2 bytes, expected %3")
                            .arg(source, QString::number(length), QString::number(kLogoLength)));
    }

    // Both files close when these go out of scope, whichever step fails;
    // the new target is thrown away then and the old one stays whole. The
    // new target starts as a copy of the old one, so that bytes past the
    // logo in a longer target stay where they were.
    const std::unique_ptr<BinaryFile> in = host.openBinary(source, FileAccess::Read);
    const std::unique_ptr<Replacement> out = host.replaceFile(target, ReplaceFrom::OldContent);

    std::array<std::uint8_t, kHeaderBlockLength> header;
    in->readAt(0, header);
    header[kStartEntryOffset] = static_cast<std::uint8_t>(start);
    header[kStartEntryOffset + 1] = 0;
    out->writeAt(0, header);

    std::vector<std::uint8_t> block(kPixelBlockLength);
    for (std::size_t i = 0; i < kPixelBlocks; ++i) {
        const auto offset = static_cast<std::int64_t>(kHeaderBlockLength + i * kPixelBlockLength);
        in->readAt(offset, block);
        if (reverse)
            Flip(block, start);
        out->writeAt(offset, block);
    }

    // The source is closed before the target is put in place, so that a
    // target that is the source itself is read to the end first.
    in->close();
    out->commit();
}

void Flip(std::span<std::uint8_t> block, int start)
{
    if (start > 255)
        return;
    const auto s = static_cast<std::uint8_t>(std::max(start, 0));
    // A select between the byte and its mirror rather than a branch, so that
    // the loop becomes vector code. 255 + s - c fits in a byte whenever
    // c >= s, so the arithmetic modulo 256 gives the exact value.
    std::uint8_t *data = block.data();
    const std::size_t size = block.size();
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = data[i];
        const auto mirrored = static_cast<std::uint8_t>(255 + s - c);
        data[i] = c >= s ? mirrored : c;
    }
}

} // namespace vantrel
