// The converters in a browser: the same run and profiles as the programs, over
// the file that the page's worker hands over in pieces. The input is read from
// the user's File as it is needed and the WAV file leaves the module's memory
// as it is written, so memory stays flat whatever the file's size. The module
// also tells the page what it shows of a file: which program it is for, the
// rate it is written at, and the outline of its sound.
#include "blockrip.hpp"
#include "cinerip.hpp"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

// The worker's side, set up as Module.host before each conversion. Reads and
// writes wait without blocking the worker (the module is built with Asyncify
// for that), so that the browser reads the next piece and writes the last
// while this one is decoded.
// clang-format off
EM_ASYNC_JS(int, host_read, (double offset, std::uint8_t* into, int capacity), {
    const piece = await Module.host.read(offset, capacity);
    if (piece === null) {
        return -1;
    }
    HEAPU8.set(piece, into);
    return piece.length;
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
constexpr std::size_t fetch_bytes = std::size_t{1} << 20;

class file_source final : public byte_source {
public:
    fetch_result fetch() override
    {
        const int got = host_read(static_cast<double>(position_), buffer_.data(), static_cast<int>(buffer_.size()));
        if (got < 0) {
            return {fetch_status::failed, {}};
        }
        position_ += static_cast<std::uint64_t>(got);
        return {fetch_status::ok, std::span{buffer_}.first(static_cast<std::size_t>(got))};
    }

    io_status skip(std::uint64_t count) override
    {
        // Past the end is not a failure: the next read finds the end.
        position_ += std::min(count, std::uint64_t{1} << 53U);
        return io_status::ok;
    }

    io_status close() override { return io_status::ok; }

private:
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(fetch_bytes);
    std::uint64_t position_ = 0;
};

// The smallest and largest sample of each stretch of the sound, for the
// page's picture: at most `columns` stretches of equal length, long enough
// for the most samples the input can give (28 for every 16 bytes).
struct waveform_outline {
    static constexpr std::size_t columns = 2048;

    std::uint64_t frames = 0; // every sample written, whether outlined or not
    std::int32_t columns_used = 0;
    std::array<std::int16_t, columns> low{};
    std::array<std::int16_t, columns> high{};
};

waveform_outline outline;

class outline_builder {
public:
    explicit outline_builder(double input_bytes)
        : per_column_{std::max<std::uint64_t>(
              1, (static_cast<std::uint64_t>(input_bytes) / adpcm_block_bytes * samples_per_block + waveform_outline::columns -
                  1) / waveform_outline::columns)}
    {
        outline = waveform_outline{};
    }

    // Samples as the WAV file holds them; whole ones, since the header and
    // every block are of even length.
    void add(std::span<const std::uint8_t> bytes)
    {
        outline.frames += bytes.size() / 2;
        while (bytes.size() >= 2) {
            const std::size_t column = static_cast<std::size_t>(seen_ / per_column_);
            if (column >= waveform_outline::columns) {
                return;
            }
            const std::uint64_t in_column = seen_ % per_column_;
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size() / 2, per_column_ - in_column));
            std::int16_t low = in_column == 0 ? INT16_MAX : outline.low[column];
            std::int16_t high = in_column == 0 ? INT16_MIN : outline.high[column];
            // WebAssembly is little-endian, as the WAV data is: the samples
            // are read as they lie, which lets the loop work 8 at a time.
            for (std::size_t i = 0; i < take; ++i) {
                std::int16_t sample = 0;
                std::memcpy(&sample, bytes.data() + 2 * i, sizeof sample);
                low = std::min(low, sample);
                high = std::max(high, sample);
            }
            outline.low[column] = low;
            outline.high[column] = high;
            outline.columns_used = static_cast<std::int32_t>(column + 1);
            seen_ += take;
            bytes = bytes.subspan(2 * take);
        }
    }

private:
    std::uint64_t per_column_;
    std::uint64_t seen_ = 0;
};

// The worker keeps the WAV file: in the origin-private file system where it
// can, otherwise in Blobs. The first write is the header.
class host_sink final : public byte_sink {
public:
    explicit host_sink(double input_bytes) : outline_{input_bytes} {}

    io_status write(std::span<const std::uint8_t> bytes) override
    {
        if (host_write(bytes.data(), static_cast<int>(bytes.size())) == 0) {
            return io_status::failed;
        }
        const std::size_t header_left = header_left_;
        header_left_ -= std::min(header_left_, bytes.size());
        outline_.add(bytes.subspan(std::min(header_left, bytes.size())));
        return io_status::ok;
    }

    io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        return host_patch(static_cast<double>(offset), bytes.data(), static_cast<int>(bytes.size())) != 0
                   ? io_status::ok
                   : io_status::failed;
    }

    io_status query_position(std::uint64_t& position) override
    {
        const double length = host_output_length();
        if (!(length >= 0)) {
            return io_status::failed;
        }
        position = static_cast<std::uint64_t>(length);
        return io_status::ok;
    }

    io_status close() override { return host_close_output() != 0 ? io_status::ok : io_status::failed; }

private:
    outline_builder outline_;
    std::size_t header_left_ = wav_header_bytes;
};

// The one file the user chose, under the path the run is given, and the WAV
// file made from it.
class browser_files final : public file_system {
public:
    browser_files(std::string input_path, double input_bytes)
        : input_path_{std::move(input_path)}, input_bytes_{input_bytes}
    {
    }

    std::unique_ptr<byte_source> open_input(const std::string& path) override
    {
        return path == input_path_ ? std::make_unique<file_source>() : nullptr;
    }

    // The page names the download after the chosen file.
    std::unique_ptr<byte_sink> create_output(const std::string& /*path*/, const std::string& /*input_path*/) override
    {
        return std::make_unique<host_sink>(input_bytes_);
    }

    void discard_output(const std::string& /*path*/) override { host_discard_output(); }

private:
    std::string input_path_;
    double input_bytes_;
};

class page_console final : public console {
public:
    void print(std::string_view text) override { host_print(text.data(), static_cast<int>(text.size())); }
};

const converter_profile& profile_of(int use_blockrip)
{
    return use_blockrip != 0 ? blockrip_profile : cinerip_profile;
}

} // namespace

// Which program a file of unknown kind is for: 0 cinerip (a video container),
// 1 blockrip (a raw block stream), -1 when it cannot be read.
extern "C" EMSCRIPTEN_KEEPALIVE int guess_program()
{
    file_source file;
    input_stream input{file};
    switch (guess_container(input)) {
    case container_guess::container:
        return 0;
    case container_guess::raw_stream:
        return 1;
    case container_guess::unreadable:
        break;
    }
    return -1;
}

// The samples per second that a program writes, with its switch or without.
extern "C" EMSCRIPTEN_KEEPALIVE int program_rate(int use_blockrip, int rate_switch)
{
    const converter_profile& profile = profile_of(use_blockrip);
    return static_cast<int>(rate_switch != 0 ? profile.switched_rate : profile.default_rate);
}

// Runs one program on the file named `path`, of `input_bytes` bytes, with its
// rate switch when `rate_switch` is set, as its command line would; returns
// the exit status.
extern "C" EMSCRIPTEN_KEEPALIVE int convert_file(int use_blockrip, int rate_switch, const char* path,
                                                 double input_bytes)
{
    const converter_profile& profile = profile_of(use_blockrip);
    std::vector<std::string> arguments{use_blockrip != 0 ? "blockrip" : "cinerip"};
    if (rate_switch != 0) {
        arguments.emplace_back(profile.rate_switch);
    }
    arguments.emplace_back(path);
    page_console messages;
    browser_files files{path, input_bytes};
    no_interrupts stop_requests; // a cancel ends the worker, and the run with it
    return exit_status(run_conversion(profile, arguments, messages, files, stop_requests));
}

// The length of the last conversion's sound, in samples.
extern "C" EMSCRIPTEN_KEEPALIVE double sound_frames()
{
    return static_cast<double>(outline.frames);
}

// The outline of the last conversion's sound: how many columns it has, and
// where their smallest and their largest samples are.
extern "C" EMSCRIPTEN_KEEPALIVE int outline_columns()
{
    return outline.columns_used;
}

extern "C" EMSCRIPTEN_KEEPALIVE const std::int16_t* outline_low()
{
    return outline.low.data();
}

extern "C" EMSCRIPTEN_KEEPALIVE const std::int16_t* outline_high()
{
    return outline.high.data();
}
