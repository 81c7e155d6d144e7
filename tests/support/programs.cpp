#include "programs.hpp"

#include "wav_output.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

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

std::string cinerip_path()
{
    return utf8_string(executable_directory() / CINERIP_NAME);
}

std::string blockrip_path()
{
    return utf8_string(executable_directory() / BLOCKRIP_NAME);
}

program_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                           const std::filesystem::path& directory, program_options options)
{
    return running_program{program, arguments, directory, options}.wait();
}

std::string take_error_output(const std::filesystem::path& file)
{
    const std::vector<std::uint8_t> bytes = read_bytes(utf8_string(file));
    std::filesystem::remove(file);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> read_bytes(const std::string& file)
{
    std::ifstream in{utf8_path(file), std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

wav_contents parse_wav(const std::vector<std::uint8_t>& file)
{
    wav_contents wav{};
    if (file.size() < wav_header_bytes) {
        ADD_FAILURE() << "a WAV file of " << file.size() << " bytes";
        return wav;
    }
    auto le32 = [&](std::size_t offset) {
        return std::uint32_t{file[offset]} | std::uint32_t{file[offset + 1]} << 8U |
               std::uint32_t{file[offset + 2]} << 16U | std::uint32_t{file[offset + 3]} << 24U;
    };
    const sample_rate rate = le32(24) == 11025 ? sample_rate::hz11025 : sample_rate::hz22050;
    wav_header fixed = make_wav_header(rate);
    std::vector<std::uint8_t> header(file.begin(), file.begin() + wav_header_bytes);
    for (const std::size_t offset : {riff_size_offset, sample_count_offset, data_size_offset}) {
        std::copy_n(header.begin() + static_cast<std::ptrdiff_t>(offset), 4,
                    fixed.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    EXPECT_EQ(header, std::vector<std::uint8_t>(fixed.begin(), fixed.end()));
    wav = {le32(4), le32(24), le32(28), le32(46), le32(54), {}};
    for (std::size_t i = wav_header_bytes; i + 1 < file.size(); i += 2) {
        wav.samples.push_back(static_cast<std::int16_t>(file[i] | file[i + 1] << 8U));
    }
    return wav;
}
