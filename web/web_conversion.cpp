// The converters in a browser: the same run and profiles as the programs,
// over files that the page's worker hands over in pieces. The input is read
// from the user's File as it is needed and the WAV file leaves the module's
// memory as it is written, so memory stays flat whatever the file's size.
#include "blockrip.hpp"
#include "cinerip.hpp"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

// The worker's side, set up as Module.host before each conversion.
// clang-format off
EM_JS(int, host_read, (double offset, std::uint8_t* into, int capacity), {
    return Module.host.read(offset, HEAPU8.subarray(into, into + capacity));
});
EM_JS(int, host_write, (const std::uint8_t* bytes, int length), {
    return Module.host.write(HEAPU8.subarray(bytes, bytes + length)) ? 1 : 0;
});
EM_JS(int, host_patch, (double offset, const std::uint8_t* bytes, int length), {
    return Module.host.patch(offset, HEAPU8.subarray(bytes, bytes + length)) ? 1 : 0;
});
EM_JS(double, host_output_length, (), {
    return Module.host.outputLength();
});
EM_JS(void, host_close_output, (), {
    Module.host.closeOutput();
});
EM_JS(void, host_discard_output, (), {
    Module.host.discardOutput();
});
EM_JS(void, host_print, (const char* text, int length), {
    Module.host.print(HEAPU8.slice(text, text + length));
});
// clang-format on

namespace {

constexpr std::size_t fetch_bytes = std::size_t{64} * 1024;

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
    std::array<std::uint8_t, fetch_bytes> buffer_{};
    std::uint64_t position_ = 0;
};

class blob_sink final : public byte_sink {
public:
    io_status write(std::span<const std::uint8_t> bytes) override
    {
        return host_write(bytes.data(), static_cast<int>(bytes.size())) != 0 ? io_status::ok : io_status::failed;
    }

    io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        return host_patch(static_cast<double>(offset), bytes.data(), static_cast<int>(bytes.size())) != 0
                   ? io_status::ok
                   : io_status::failed;
    }

    io_status query_position(std::uint64_t& position) override
    {
        position = static_cast<std::uint64_t>(host_output_length());
        return io_status::ok;
    }

    io_status close() override
    {
        host_close_output();
        return io_status::ok;
    }
};

// The one file the user dropped, under the path the run is given, and the
// WAV file made from it.
class browser_files final : public file_system {
public:
    explicit browser_files(std::string input_path) : input_path_{std::move(input_path)} {}

    std::unique_ptr<byte_source> open_input(const std::string& path) override
    {
        return path == input_path_ ? std::make_unique<file_source>() : nullptr;
    }

    // The page names the download after the dropped file.
    std::unique_ptr<byte_sink> create_output(const std::string& /*path*/, const std::string& /*input_path*/) override
    {
        return std::make_unique<blob_sink>();
    }

    void discard_output(const std::string& /*path*/) override { host_discard_output(); }

private:
    std::string input_path_;
};

class page_console final : public console {
public:
    void print(std::string_view text) override { host_print(text.data(), static_cast<int>(text.size())); }
};

} // namespace

// Runs one program on the file named `path`, with its rate switch when
// `rate_switch` is set, as its command line would; returns the exit status.
extern "C" EMSCRIPTEN_KEEPALIVE int convert_file(int use_blockrip, int rate_switch, const char* path)
{
    const converter_profile& profile = use_blockrip != 0 ? blockrip_profile : cinerip_profile;
    const std::string program{use_blockrip != 0 ? "blockrip" : "cinerip"};
    const std::string switch_text{profile.rate_switch};
    std::vector<const char*> arguments{program.c_str()};
    if (rate_switch != 0) {
        arguments.push_back(switch_text.c_str());
    }
    arguments.push_back(path);
    page_console messages;
    browser_files files{path};
    no_interrupts stop_requests; // a cancel ends the worker, and the run with it
    return exit_status(run_conversion(profile, arguments, messages, files, stop_requests));
}
