#include "file_streams.hpp"

#include "platform.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr auto largest_offset = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

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
using stdio_file = std::unique_ptr<std::FILE, file_closer>;

[[nodiscard]] io_status close_handle(stdio_file& file)
{
    return std::fclose(file.release()) == 0 ? io_status::ok : io_status::failed;
}

class file_source final : public byte_source {
public:
    // Fetches end after `length` bytes: a part of a disc image is read no
    // further than its end.
    file_source(stdio_file file, std::uint64_t length)
        : file_{std::move(file)}, buffer_(std::min<std::uint64_t>(length, input_fetch_bytes)), left_{length}
    {
    }

    // The one place where a run notices an interrupt: once per fetch, so
    // the blocks' loop pays nothing for it.
    fetch_result fetch() override
    {
        if (left_ == 0) {
            return {fetch_status::ok, {}};
        }
        const std::span<std::uint8_t> into = std::span{buffer_}.first(std::min<std::uint64_t>(left_, buffer_.size()));
        const input_read got = read_input(file_.get(), into);
        const std::size_t count = got.status == fetch_status::ok ? got.count : 0;
        left_ -= count;
        return {got.status, into.first(count)};
    }

    io_status skip(std::uint64_t count) override
    {
        if (count > largest_offset) {
            return io_status::failed;
        }
        left_ -= std::min(left_, count);
        return skip_input(file_.get(), static_cast<std::int64_t>(count)) ? io_status::ok : io_status::failed;
    }

    io_status close() override { return close_handle(file_); }

private:
    stdio_file file_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t left_;
};

class file_sink final : public byte_sink {
public:
    explicit file_sink(stdio_file file) : file_{std::move(file)} {}

    io_status write(std::span<const std::uint8_t> bytes) override
    {
        return std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size() ? io_status::ok
                                                                                       : io_status::failed;
    }

    io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        if (offset > largest_offset || !seek_file(file_.get(), static_cast<std::int64_t>(offset))) {
            return io_status::failed;
        }
        return write(bytes);
    }

    io_status query_position(std::uint64_t& position) override
    {
        const std::int64_t offset = tell_file(file_.get());
        if (offset < 0) {
            return io_status::failed;
        }
        position = static_cast<std::uint64_t>(offset);
        return io_status::ok;
    }

    io_status close() override { return close_handle(file_); }

private:
    stdio_file file_;
};

[[nodiscard]] stdio_file open_unbuffered(const std::filesystem::path& path, file_access access)
{
    stdio_file file{open_file(path, access)};
    if (file && std::setvbuf(file.get(), nullptr, _IONBF, 0) != 0) {
        return nullptr;
    }
    return file;
}

} // namespace

std::unique_ptr<byte_source> disk_files::open_input(const std::string& path)
{
    return open_input_range(path, 0, std::numeric_limits<std::uint64_t>::max());
}

std::unique_ptr<byte_source> disk_files::open_input_range(const std::string& path, std::uint64_t offset,
                                                          std::uint64_t length)
{
    const std::filesystem::path file_name = native_path(path);
    if (names_directory(file_name)) {
        return nullptr;
    }
    stdio_file file = open_unbuffered(file_name, file_access::read);
    if (!file) {
        return nullptr;
    }
    if (offset > largest_offset || (offset > 0 && !skip_input(file.get(), static_cast<std::int64_t>(offset)))) {
        return nullptr;
    }
    return std::make_unique<file_source>(std::move(file), length);
}

std::unique_ptr<byte_sink> disk_files::create_output(const std::string& path, const std::string& input_path)
{
    const std::filesystem::path file_name = native_path(path);
    if (name_same_file(native_path(input_path), file_name)) {
        return nullptr;
    }
    stdio_file file = open_unbuffered(file_name, file_access::write);
    if (!file) {
        return nullptr;
    }
    return std::make_unique<file_sink>(std::move(file));
}

void disk_files::discard_output(const std::string& path)
{
    remove_written_file(native_path(path));
}
