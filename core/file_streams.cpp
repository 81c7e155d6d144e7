#include "file_streams.hpp"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

// Chunk and skip positions reach past 2 GiB, and std::fseek takes a long.
static_assert(sizeof(long) >= sizeof(std::int64_t), "file positions need a 64-bit long");

// The streams do their own buffering in large blocks, so the C library's
// buffer would only add a copy.
constexpr std::size_t input_fetch_bytes = std::size_t{64} * 1024;

struct file_closer {
    void operator()(std::FILE* file) const
    {
        // Reached only on paths that already failed and reported it; every
        // other path closes through close() and checks the result.
        [[maybe_unused]] const int ignored = std::fclose(file);
    }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

[[nodiscard]] io_status close_handle(file_handle& file)
{
    return std::fclose(file.release()) == 0 ? io_status::ok : io_status::failed;
}

class file_source final : public byte_source {
public:
    explicit file_source(file_handle file) : file_{std::move(file)}, buffer_(input_fetch_bytes) {}

    fetch_result fetch() override
    {
        const std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
        if (got == 0 && std::ferror(file_.get()) != 0) {
            return {io_status::failed, {}};
        }
        return {io_status::ok, std::span{buffer_}.first(got)};
    }

    io_status skip(std::uint64_t count) override
    {
        if (count > static_cast<std::uint64_t>(LONG_MAX)) {
            return io_status::failed;
        }
        return std::fseek(file_.get(), static_cast<long>(count), SEEK_CUR) == 0 ? io_status::ok : io_status::failed;
    }

    io_status close() override { return close_handle(file_); }

private:
    file_handle file_;
    std::vector<std::uint8_t> buffer_;
};

class file_sink final : public byte_sink {
public:
    explicit file_sink(file_handle file) : file_{std::move(file)} {}

    io_status write(std::span<const std::uint8_t> bytes) override
    {
        return std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size() ? io_status::ok
                                                                                      : io_status::failed;
    }

    io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        if (offset > static_cast<std::uint64_t>(LONG_MAX) ||
            std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) {
            return io_status::failed;
        }
        return write(bytes);
    }

    io_status query_position(std::uint64_t& position) override
    {
        const long offset = std::ftell(file_.get());
        if (offset < 0) {
            return io_status::failed;
        }
        position = static_cast<std::uint64_t>(offset);
        return io_status::ok;
    }

    io_status close() override { return close_handle(file_); }

private:
    file_handle file_;
};

[[nodiscard]] file_handle open_unbuffered(const std::string& path, const char* mode)
{
    file_handle file{std::fopen(path.c_str(), mode)};
    if (file && std::setvbuf(file.get(), nullptr, _IONBF, 0) != 0) {
        return nullptr;
    }
    return file;
}

} // namespace

std::unique_ptr<byte_source> disk_files::open_input(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return nullptr;
    }
    file_handle file = open_unbuffered(path, "rb");
    if (!file) {
        return nullptr;
    }
    return std::make_unique<file_source>(std::move(file));
}

std::unique_ptr<byte_sink> disk_files::create_output(const std::string& path, const std::string& input_path)
{
    std::error_code error;
    if (std::filesystem::equivalent(input_path, path, error)) {
        return nullptr;
    }
    file_handle file = open_unbuffered(path, "wb");
    if (!file) {
        return nullptr;
    }
    return std::make_unique<file_sink>(std::move(file));
}

void disk_files::discard_output(const std::string& path)
{
    // Best effort: the run has already reported the failure that makes the
    // file incomplete, and there is nothing further to tell the user.
    std::error_code error;
    const std::filesystem::path written = std::filesystem::canonical(path, error);
    if (!error && std::filesystem::is_regular_file(written, error)) {
        std::filesystem::remove(written, error);
    }
}
