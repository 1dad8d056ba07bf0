#pragma once

// Numbers stored little-endian in bytes held in memory: the fields of a
// BMP's headers, of the logo bitmap's header block, of a disk's partition
// table and boot sectors. Explicit readers and writers over a span, never
// a struct cast over the bytes.
//
// Every one of them stays inside the span it is given: a byte beyond its
// end reads as 0 and is not written. A caller that needs a field whole
// proves first that the bytes hold it; one that has not gets zeros, never
// memory outside the buffer.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel {

// Byte `offset` + `index` of `bytes`, or 0 beyond their end. The sum is
// never formed, so no offset wraps round to the start.
constexpr std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t offset,
                              std::size_t index = 0)
{
    return offset < bytes.size() && index < bytes.size() - offset ? bytes[offset + index] : 0;
}

constexpr std::uint16_t readLe16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(byteAt(bytes, offset) | byteAt(bytes, offset, 1) << 8);
}

constexpr std::uint32_t readLe32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return std::uint32_t(byteAt(bytes, offset)) | std::uint32_t(byteAt(bytes, offset, 1)) << 8 |
           std::uint32_t(byteAt(bytes, offset, 2)) << 16 |
           std::uint32_t(byteAt(bytes, offset, 3)) << 24;
}

// Writes the low `width` bytes of `value` from `offset`, lowest first,
// each only where `bytes` has it.
constexpr void writeLe(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value,
                       std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) {
        if (offset < bytes.size() && i < bytes.size() - offset)
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i) & 0xff);
    }
}

constexpr void writeLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value)
{
    writeLe(bytes, offset, value, 2);
}

constexpr void writeLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value)
{
    writeLe(bytes, offset, value, 4);
}

} // namespace vantrel
