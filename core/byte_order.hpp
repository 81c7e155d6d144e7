#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Fields of the formats read, by their byte order, from shifts: never the
// host's order.
[[nodiscard]] constexpr std::uint32_t read_le16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8U;
}

[[nodiscard]] constexpr std::uint32_t read_le32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return read_le16(bytes, at) | read_le16(bytes, at + 2) << 16U;
}

[[nodiscard]] constexpr std::uint32_t read_be16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} << 8U | std::uint32_t{bytes[at + 1]};
}

[[nodiscard]] constexpr std::uint32_t read_be32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return read_be16(bytes, at) << 16U | read_be16(bytes, at + 2);
}
