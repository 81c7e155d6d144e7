// The converters in a browser: the same run and profiles as the programs, over
// the files that the page's worker hands over in pieces. The input is a File
// the user chose, or a file or CD audio track inside a disc image; it is read
// as it is needed and the WAV file leaves the module's memory as it is
// written, so memory stays flat whatever the size. The module also lists disc
// images, sorts files by content, and tells the page what it shows of a file:
// the rate it is written at and the outline of its sound.
#include "blockrip.hpp"
#include "cd_audio.hpp"
#include "cinerip.hpp"
#include "disc_image.hpp"
#include "sort_content.hpp"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

// The worker's side, set up as Module.host before each job. Reads and writes
// wait without blocking the worker (the module is built with Asyncify for
// that), so that the browser reads the next piece and writes the last while
// this one is decoded.
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

// Large pieces: each is one call into the worker, which reads the file
// ahead in windows of 16 MiB. Sorting a file reads its first window in them
// too, since converting it reads that window next, and further on reads
// small pieces, and only them; listing a disc reads ranges no larger than
// its directories.
constexpr std::uint64_t converting_piece = std::uint64_t{1} << 20;
constexpr std::uint64_t sorting_piece = 64 * 1024;
constexpr std::uint64_t first_window = std::uint64_t{16} << 20;

// `length` bytes of one of the host's files from `offset`, in pieces of at
// most `far_piece` bytes past the first window.
class range_source final : public byte_source {
public:
    range_source(int file, std::uint64_t offset, std::uint64_t length, std::uint64_t far_piece = converting_piece)
        : file_{file}, start_{offset}, position_{offset}, end_{offset + length}, far_piece_{far_piece},
          buffer_(static_cast<std::size_t>(std::min(length, converting_piece)))
    {
    }

    fetch_result fetch() override
    {
        const std::uint64_t piece = position_ - start_ < first_window ? buffer_.size() : std::min<std::uint64_t>(buffer_.size(), far_piece_);
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

    io_status skip(std::uint64_t count) override
    {
        // Past the end is not a failure: the next read finds the end.
        position_ += std::min(count, end_ - std::min(end_, position_));
        return io_status::ok;
    }

    io_status close() override { return io_status::ok; }

private:
    int file_;
    std::uint64_t start_;
    std::uint64_t position_;
    std::uint64_t end_;
    std::uint64_t far_piece_;
    std::vector<std::uint8_t> buffer_;
};

// The host's files as a disc image's, from `first` on (a cue sheet's own
// file comes before them).
class host_image final : public image_files {
public:
    explicit host_image(int first, std::uint64_t far_piece = converting_piece) : first_{first}, far_piece_{far_piece} {}

    std::size_t count() const override { return static_cast<std::size_t>(host_files() - first_); }
    std::uint64_t size(std::size_t file) const override { return static_cast<std::uint64_t>(host_size(index(file))); }
    std::unique_ptr<byte_source> open_range(std::size_t file, std::uint64_t offset, std::uint64_t length) override
    {
        return std::make_unique<range_source>(index(file), offset, length, far_piece_);
    }

private:
    int index(std::size_t file) const { return first_ + static_cast<int>(file); }

    int first_;
    std::uint64_t far_piece_;
};

// Where the job's input lies: a whole file the user chose, or an entry of a
// disc image whose files the host holds.
struct input_location {
    entry_kind kind = entry_kind::unread; // unread: the whole of file 0
    disc_entry entry;
    std::uint64_t bytes = 0; // the most bytes it can hold
};

input_location input;

std::unique_ptr<byte_source> open_located_input(std::uint64_t far_piece = converting_piece)
{
    if (input.kind == entry_kind::unread) {
        return std::make_unique<range_source>(0, 0, input.bytes, far_piece);
    }
    host_image image{0, far_piece};
    return open_entry(image, input.entry);
}

// The smallest and largest sample of each stretch of the sound, for the
// page's picture: at most `columns` stretches of equal length, long enough
// for the most samples the input can give (28 for every 16 bytes, or one a
// byte of CD audio).
struct waveform_outline {
    static constexpr std::size_t columns = 2048;

    std::uint64_t samples = 0; // every sample written, whether outlined or not
    std::uint32_t channels = 1;
    std::int32_t columns_used = 0;
    std::array<std::int16_t, columns> low{};
    std::array<std::int16_t, columns> high{};
};

waveform_outline outline;

class outline_builder {
public:
    outline_builder(std::uint64_t most_samples, std::uint32_t channels)
        : per_column_{std::max<std::uint64_t>(1, (most_samples + waveform_outline::columns - 1) / waveform_outline::columns)}
    {
        outline = waveform_outline{};
        outline.channels = channels;
    }

    // Samples as the WAV file holds them; whole ones, since the header and
    // every block are of even length.
    void add(std::span<const std::uint8_t> bytes)
    {
        outline.samples += bytes.size() / 2;
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
    host_sink(std::size_t header_bytes, std::uint64_t most_samples, std::uint32_t channels)
        : outline_{most_samples, channels}, header_left_{header_bytes}
    {
    }

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
    std::size_t header_left_;
};

// The one input of the job, under the path the run is given, and the WAV
// file made from it.
class browser_files final : public file_system {
public:
    explicit browser_files(std::string input_path, std::uint64_t far_piece = converting_piece)
        : input_path_{std::move(input_path)}, far_piece_{far_piece}
    {
    }

    std::unique_ptr<byte_source> open_input(const std::string& path) override
    {
        return path == input_path_ ? open_located_input(far_piece_) : nullptr;
    }

    // The page names the download after the chosen file.
    std::unique_ptr<byte_sink> create_output(const std::string& /*path*/, const std::string& /*input_path*/) override
    {
        return std::make_unique<host_sink>(wav_header_bytes, input.bytes / adpcm_block_bytes * samples_per_block, 1);
    }

    void discard_output(const std::string& /*path*/) override { host_discard_output(); }

private:
    std::string input_path_;
    std::uint64_t far_piece_;
};

class page_console final : public console {
public:
    void print(std::string_view text) override { host_print(text.data(), static_cast<int>(text.size())); }
};

const converter_profile& profile_of(int use_blockrip)
{
    return use_blockrip != 0 ? blockrip_profile : cinerip_profile;
}

// Text for the page: a reason, a cue sheet's file names, or a listing.
std::string reply;

void add_number(std::uint64_t value)
{
    std::array<char, 24> digits{};
    const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    reply.push_back('\t');
    reply.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

// One line an entry: its kind (D a data file, A an audio track, U unread),
// its path, then a data file's or track's file, start, sectors, layout
// (0 raw, 1 cooked) and size, or an unread one's reason.
int give_listing(const disc_listing& listing)
{
    reply.clear();
    if (!listing.error.empty()) {
        reply = listing.error;
        return -1;
    }
    for (const disc_entry& entry : listing.entries) {
        reply += entry.kind == entry_kind::data_file ? "D\t" : entry.kind == entry_kind::audio_track ? "A\t" : "U\t";
        reply += entry.path;
        if (entry.kind == entry_kind::unread) {
            reply += '\t' + entry.reason;
        } else {
            add_number(entry.where.file);
            add_number(entry.where.start);
            add_number(entry.where.sectors);
            add_number(entry.where.layout == sector_layout::raw ? 0 : 1);
            add_number(entry.size);
        }
        reply += '\n';
    }
    return static_cast<int>(listing.entries.size());
}

std::vector<std::uint8_t> read_whole(int file, std::uint64_t most)
{
    std::vector<std::uint8_t> bytes;
    range_source source{file, 0, most};
    for (fetch_result next = source.fetch(); !next.bytes.empty(); next = source.fetch()) {
        bytes.insert(bytes.end(), next.bytes.begin(), next.bytes.end());
    }
    return bytes;
}

// The cue sheet in the host's file 0, read no further than a sheet may be.
cue_reading read_cue()
{
    const auto size = static_cast<std::uint64_t>(host_size(0));
    constexpr std::uint64_t most = 64 * 1024;
    if (size > most) {
        return {std::nullopt, "too large for a cue sheet (more than 64 KiB)"};
    }
    return parse_cue(read_whole(0, size));
}

} // namespace

// The text the last call left for the page, and its length in bytes.
extern "C" EMSCRIPTEN_KEEPALIVE const char* reply_text()
{
    return reply.data();
}

extern "C" EMSCRIPTEN_KEEPALIVE int reply_length()
{
    return static_cast<int>(reply.size());
}

// The names of the files the cue sheet in file 0 names, a line each, as the
// count; -1 when it cannot be read, with the reason.
extern "C" EMSCRIPTEN_KEEPALIVE int cue_file_names()
{
    const cue_reading cue = read_cue();
    reply.clear();
    if (!cue.sheet) {
        reply = cue.error;
        return -1;
    }
    for (const cue_file& file : cue.sheet->files) {
        reply += file.name + '\n';
    }
    return static_cast<int>(cue.sheet->files.size());
}

// Lists a disc image: 0 an .iso, 1 a .bin alone (file 0 either), 2 the disc
// of the cue sheet in file 0, whose files follow it in its order. Gives the
// count of entries, or -1 with the reason.
extern "C" EMSCRIPTEN_KEEPALIVE int list_disc(int kind)
{
    if (kind == 2) {
        const cue_reading cue = read_cue();
        if (!cue.sheet) {
            reply = cue.error;
            return -1;
        }
        host_image image{1};
        return give_listing(list_cue_image(*cue.sheet, image));
    }
    host_image image{0};
    return give_listing(list_image(kind == 0 ? image_kind::iso : image_kind::raw_bin, image));
}

// Sets what the next job reads: the whole of file 0 (kind 0, of `size`
// bytes), or an entry of the listing (1 a data file, 2 an audio track).
// Gives the most bytes its WAV file can have.
extern "C" EMSCRIPTEN_KEEPALIVE double locate_input(int kind, int file, double start, double sectors, int layout,
                                                    double size)
{
    input = input_location{};
    if (kind == 0) {
        input.bytes = static_cast<std::uint64_t>(size);
    } else {
        const sector_run where{static_cast<std::size_t>(file), static_cast<std::uint64_t>(start),
                               static_cast<std::uint64_t>(sectors),
                               layout == 0 ? sector_layout::raw : sector_layout::cooked};
        input.kind = kind == 1 ? entry_kind::data_file : entry_kind::audio_track;
        input.entry = {input.kind, {}, where, static_cast<std::uint64_t>(size), {}};
        input.bytes = kind == 1 ? sector_file_bound(where, input.entry.size) : input.entry.size;
    }
    if (kind == 2) {
        return static_cast<double>(canonical_header_bytes + input.bytes);
    }
    return static_cast<double>(wav_header_bytes +
                               (input.bytes + adpcm_block_bytes - 1) / adpcm_block_bytes * pcm_block_bytes);
}

// Which program the input is for: 0 cinerip, 1 blockrip, 2 neither (the
// reason is the reply), -1 when it cannot be read.
extern "C" EMSCRIPTEN_KEEPALIVE int sort_input()
{
    browser_files files{"input", sorting_piece};
    const content_sort sorted = sort_content(files, "input", input.bytes);
    reply = sorted.reason;
    switch (sorted.verdict) {
    case content_verdict::cinerip:
        return 0;
    case content_verdict::blockrip:
        return 1;
    case content_verdict::skipped:
        return 2;
    case content_verdict::unreadable:
        break;
    }
    return -1;
}

// The samples per second that a program writes, with its switch or without;
// a CD audio track's (`use_blockrip` 2) are its own.
extern "C" EMSCRIPTEN_KEEPALIVE int program_rate(int use_blockrip, int rate_switch)
{
    if (use_blockrip == 2) {
        return static_cast<int>(cd_audio_format.rate);
    }
    const converter_profile& profile = profile_of(use_blockrip);
    return static_cast<int>(rate_switch != 0 ? profile.switched_rate : profile.default_rate);
}

// Runs one program on the input, named `path`, with its rate switch when
// `rate_switch` is set, as its command line would; returns the exit status.
extern "C" EMSCRIPTEN_KEEPALIVE int convert_file(int use_blockrip, int rate_switch, const char* path)
{
    const converter_profile& profile = profile_of(use_blockrip);
    std::vector<std::string> arguments{use_blockrip != 0 ? "blockrip" : "cinerip"};
    if (rate_switch != 0) {
        arguments.emplace_back(profile.rate_switch);
    }
    arguments.emplace_back(path);
    page_console messages;
    browser_files files{path};
    no_interrupts stop_requests; // a cancel ends the worker, and the run with it
    return exit_status(run_conversion(profile, arguments, messages, files, stop_requests));
}

// Writes the CD audio track located as input, named `path`, as a WAV file;
// returns 0, or 4 when it stopped early, as the programs do.
extern "C" EMSCRIPTEN_KEEPALIVE int convert_audio_track(const char* path)
{
    page_console messages;
    const std::unique_ptr<byte_source> track = open_located_input();
    host_sink wav{canonical_header_bytes, input.bytes / 2, 2};
    const copy_outcome copied = write_cd_audio(*track, input.bytes, wav);
    const bool closed = wav.close() == io_status::ok;
    if (copied == copy_outcome::done && closed) {
        return 0;
    }
    // The header holds the track's whole length: a part of it is no file.
    messages.print(copied == copy_outcome::read_failed ? "ERROR: Cannot read file " + std::string{path} + "\r\n"
                                                       : "ERROR: Cannot write file " + std::string{path} + ".wav\r\n");
    host_discard_output();
    return 4;
}

// The length of the last sound written, in frames (a sample of each
// channel).
extern "C" EMSCRIPTEN_KEEPALIVE double sound_frames()
{
    return static_cast<double>(outline.samples / outline.channels);
}

// The outline of the last sound's picture: how many columns it has, and
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
