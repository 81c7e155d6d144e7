#include "file_writer.hpp"

#include "platform.hpp"

#include <cstdio>

bool write_file(const std::string& path, std::span<const std::uint8_t> bytes)
{
    std::FILE* file = open_file(native_path(path), file_access::write);
    if (file == nullptr) {
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}
