#pragma once

// Takes a fuzz input apart field by field. Past the end every field reads
// as 0, so that any input, however short, describes something.

#include <cstdint>
#include <span>

namespace vantrel::fuzz {

class InputReader {
public:
    explicit InputReader(std::span<const std::uint8_t> input) : m_input(input) {}

    std::uint8_t byte() { return m_at < m_input.size() ? m_input[m_at++] : 0; }

    std::uint16_t le16()
    {
        const std::uint8_t low = byte();
        return std::uint16_t(low | byte() << 8);
    }

    std::uint32_t le32()
    {
        const std::uint16_t low = le16();
        return std::uint32_t(low) | std::uint32_t(le16()) << 16;
    }

    // What is left after the fields read so far.
    std::span<const std::uint8_t> rest() const
    {
        return m_at < m_input.size() ? m_input.subspan(m_at) : std::span<const std::uint8_t>();
    }

private:
    std::span<const std::uint8_t> m_input;
    std::size_t m_at = 0;
};

} // namespace vantrel::fuzz
