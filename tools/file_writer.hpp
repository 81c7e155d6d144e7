#pragma once

#include <cstdint>
#include <span>
#include <string>

// Writes a test or sample file under a path as the programs take one: in any
// script, and of any length, on every system. False when the file cannot be
// written whole.
[[nodiscard]] bool write_file(const std::string& path, std::span<const std::uint8_t> bytes);
