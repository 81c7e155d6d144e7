#include "platform.hpp"

#include <sys/types.h>

static_assert(sizeof(off_t) >= sizeof(std::int64_t), "file positions need a 64-bit off_t");

std::vector<std::string> command_line_arguments(int argc, const char* const* argv)
{
    return {argv, argv + argc};
}

std::filesystem::path native_path(const std::string& path)
{
    return path;
}

bool names_directory(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool name_same_file(const std::filesystem::path& first, const std::filesystem::path& second)
{
    std::error_code error;
    return std::filesystem::equivalent(first, second, error);
}

void remove_written_file(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path written = std::filesystem::canonical(path, error);
    if (!error && std::filesystem::is_regular_file(written, error)) {
        std::filesystem::remove(written, error);
    }
}

std::FILE* open_file(const std::filesystem::path& path, file_access access)
{
    return std::fopen(path.c_str(), access == file_access::read ? "rb" : "wb");
}

bool seek_file(std::FILE* file, std::int64_t offset, int origin)
{
    return ::fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

std::int64_t tell_file(std::FILE* file)
{
    return ::ftello(file);
}

bool write_standard_output(std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}
