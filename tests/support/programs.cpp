#include "programs.hpp"

#include "test_files.hpp"

std::string cinerip_path()
{
    return utf8_string(executable_directory() / CINERIP_NAME);
}

std::string blockrip_path()
{
    return utf8_string(executable_directory() / BLOCKRIP_NAME);
}

std::string discrip_path()
{
    return utf8_string(executable_directory() / DISCRIP_NAME);
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

bool has_grown(const std::string& file, std::uintmax_t bytes)
{
    std::error_code missing;
    const std::uintmax_t size = std::filesystem::file_size(utf8_path(file), missing);
    return !missing && size >= bytes;
}
