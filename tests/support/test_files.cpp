#include "test_files.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#ifdef _WIN32
#include <windows.h>
#endif

std::filesystem::path utf8_path(std::string_view name)
{
    return std::u8string{name.begin(), name.end()};
}

std::string utf8_string(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

temp_dir::temp_dir()
{
    std::random_device seed;
    std::mt19937_64 random{(std::uint64_t{seed()} << 32U) | seed()};
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("rippers-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate;
        }
    }
    if (path_.empty()) {
        ADD_FAILURE() << "cannot make a temporary directory";
    }
}

temp_dir::~temp_dir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> read_bytes(const std::string& file)
{
    std::ifstream in{utf8_path(file), std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

bool make_symlink(const std::string& target, const std::string& link)
{
#ifdef _WIN32
    // Wine reports success without making the link, so the link is looked for.
    const std::filesystem::path link_path = utf8_path(link);
    if (::CreateSymbolicLinkW(link_path.c_str(), utf8_path(target).c_str(),
                              SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) == 0) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(link_path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    std::error_code error;
    std::filesystem::create_symlink(utf8_path(target), utf8_path(link), error);
    return !error;
#endif
}

wav_contents parse_wav(const std::vector<std::uint8_t>& file)
{
    std::optional<wav_contents> wav = read_wav(file);
    if (!wav) {
        ADD_FAILURE() << "a file of " << file.size() << " bytes that does not start with the programs' WAV header";
        return {};
    }
    return std::move(*wav);
}
