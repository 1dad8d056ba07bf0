#include "codec/palette_rotation.h"

#include "codec/logo_format.h"

#include <algorithm>

namespace vantrel {

void Rotate(std::span<std::uint8_t> header, int start, bool reverse)
{
    if (start < kMinStartEntry || start > kMaxStartEntry || header.size() < kHeaderBlockLength)
        return;
    // The range runs from the starting entry to the end of the header block.
    const auto first = header.begin() + std::ptrdiff_t(entryOffset(start));
    const auto end = header.begin() + std::ptrdiff_t(kHeaderBlockLength);
    if (reverse)
        std::rotate(first, end - 4, end);
    else
        std::rotate(first, first + 4, end);
}

} // namespace vantrel
