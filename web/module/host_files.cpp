#include "host_files.hpp"

#include <emscripten.h>

#include <algorithm>

// The worker's side of the module: what the job in hand reads, writes and
// prints through, which the worker sets up as Module.host before each call
// (workers/decoder.js). Reads and writes wait without blocking the worker
// (the module is built with Asyncify for that), so that the browser reads
// the next piece and writes the last while this one is decoded.
// clang-format off
EM_ASYNC_JS(int, host_read, (int file, double offset, std::uint8_t* into, int capacity), {
    const piece = await Module.host.read(file, offset, capacity);
    if (piece === null) {
        return -1;
    }
    HEAPU8.set(piece, into);
    return piece.length;
});
EM_JS(double, host_size, (int file), {
    return Module.host.size(file);
});
EM_JS(int, host_files, (), {
    return Module.host.files();
});
EM_ASYNC_JS(int, host_write, (const std::uint8_t* bytes, int length), {
    return await Module.host.write(HEAPU8.subarray(bytes, bytes + length)) ? 1 : 0;
});
EM_ASYNC_JS(int, host_patch, (double offset, const std::uint8_t* bytes, int length), {
    return await Module.host.patch(offset, HEAPU8.subarray(bytes, bytes + length)) ? 1 : 0;
});
EM_ASYNC_JS(double, host_output_length, (), {
    return await Module.host.outputLength();
});
EM_ASYNC_JS(int, host_close_output, (), {
    return await Module.host.closeOutput() ? 1 : 0;
});
EM_JS(void, host_discard_output, (), {
    Module.host.discardOutput();
});
EM_JS(void, host_print, (const char* text, int length), {
    Module.host.print(HEAPU8.slice(text, text + length));
});
// clang-format on

namespace {

// Large pieces: each is one call into the worker.
constexpr std::uint64_t converting_piece = std::uint64_t{1} << 20;
constexpr std::uint64_t sorting_piece = 64 * 1024;
constexpr std::uint64_t first_window = std::uint64_t{16} << 20;

} // namespace

range_source::range_source(int file, std::uint64_t offset, std::uint64_t length, read_pace pace)
    : file_{file}, start_{offset}, position_{offset}, end_{offset + length}, far_piece_{pace == read_pace::sorting
                                                                                            ? sorting_piece
                                                                                            : converting_piece},
      buffer_(static_cast<std::size_t>(std::min(length, converting_piece)))
{
}

fetch_result range_source::fetch()
{
    const std::uint64_t piece =
        position_ - start_ < first_window ? buffer_.size() : std::min<std::uint64_t>(buffer_.size(), far_piece_);
    const auto wanted = static_cast<int>(std::min(piece, end_ - std::min(end_, position_)));
    if (wanted == 0) {
        return {fetch_status::ok, {}};
    }
    const int got = host_read(file_, static_cast<double>(position_), buffer_.data(), wanted);
    if (got < 0) {
        return {fetch_status::failed, {}};
    }
    position_ += static_cast<std::uint64_t>(got);
    return {fetch_status::ok, std::span{buffer_}.first(static_cast<std::size_t>(got))};
}

io_status range_source::skip(std::uint64_t count)
{
    // Past the end is not a failure: the next read finds the end.
    position_ += std::min(count, end_ - std::min(end_, position_));
    return io_status::ok;
}

std::uint64_t host_image::size(std::size_t file) const
{
    return job_file_size(files_[file]);
}

std::unique_ptr<byte_source> host_image::open_range(std::size_t file, std::uint64_t offset, std::uint64_t length)
{
    return std::make_unique<range_source>(files_[file], offset, length, pace_);
}

io_status host_sink::write(std::span<const std::uint8_t> bytes)
{
    if (host_write(bytes.data(), static_cast<int>(bytes.size())) == 0) {
        return io_status::failed;
    }
    const std::size_t header_left = header_left_;
    header_left_ -= std::min(header_left_, bytes.size());
    outline_.add(bytes.subspan(std::min(header_left, bytes.size())));
    return io_status::ok;
}

io_status host_sink::write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    return host_patch(static_cast<double>(offset), bytes.data(), static_cast<int>(bytes.size())) != 0
               ? io_status::ok
               : io_status::failed;
}

io_status host_sink::query_position(std::uint64_t& position)
{
    const double length = host_output_length();
    if (!(length >= 0)) {
        return io_status::failed;
    }
    position = static_cast<std::uint64_t>(length);
    return io_status::ok;
}

io_status host_sink::close()
{
    return host_close_output() != 0 ? io_status::ok : io_status::failed;
}

std::unique_ptr<byte_source> host_input_files::open_input(const std::string& /*path*/)
{
    return open_();
}

// The page names the download after the chosen file.
std::unique_ptr<byte_sink> host_input_files::create_output(const std::string& /*path*/,
                                                           const std::string& /*input_path*/)
{
    return std::make_unique<host_sink>(wav_header_bytes, outline_);
}

void host_input_files::discard_output(const std::string& /*path*/)
{
    host_discard_output();
}

void host_console::print(std::string_view text)
{
    host_print(text.data(), static_cast<int>(text.size()));
}

int job_file_count()
{
    return host_files();
}

std::uint64_t job_file_size(int file)
{
    return static_cast<std::uint64_t>(host_size(file));
}

void discard_job_output()
{
    host_discard_output();
}
