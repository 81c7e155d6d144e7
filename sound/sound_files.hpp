#pragma once

// The files of the sound formats (XA sectors, VAG files, sound banks) as the
// WAV files they give, one a part: an XA clip, a bank's sample, a VAG file's
// one sample. A file is listed first, then each part is converted from the
// file again, so that a caller may convert them one at a time, apart.
#include "conversion_run.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class sound_format : std::uint8_t { xa, vag, bank };

// Opens a file from its start, anew each time.
using source_opener = std::function<std::unique_ptr<byte_source>()>;

struct sound_file {
    source_opener open;
    std::uint64_t size = 0;
    // Raw 2352-byte sectors as a disc image holds a file's, rather than a
    // loose file whose form its first bytes show (recognise_sector_form).
    bool whole_sectors = false;
    // A bank's .VB, where its body is a file of its own; empty otherwise.
    source_opener open_body{};
    std::uint64_t body_size = 0;
};

struct sound_part {
    std::string suffix; // tells a file's several parts apart (".f1c03", ".f1c03-2", ".s012"); empty for the only one
    std::string note;   // what more there is to say of it: a VAG file's name, a rate replaced, 8-bit XA
    pcm_format format{1, 0};
    // An XA clip's sectors, counted from the file's first; a bank sample's
    // bytes in the file that holds the body; a VAG file's bytes. From
    // `start` to before `end`.
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t bytes = 0; // how many of the file's bytes it is read from
    // An XA clip's stream and coding.
    std::uint8_t xa_file = 0;
    std::uint8_t xa_channel = 0;
    bool eight_bit = false;
};

struct sound_listing {
    std::string reason;      // why the file gives nothing, where it does not
    bool unreadable = false; // it could not be read
    std::vector<sound_part> parts;
};

[[nodiscard]] sound_listing list_sound_parts(sound_format format, const sound_file& file);

struct part_conversion {
    stage_outcome outcome;
    std::uint64_t frames; // the sound's length, in frames
};

// Writes the part as a WAV file, 16-bit PCM of its channels at its rate under
// the canonical header, with a "smpl" chunk where its sample loops, and
// finishes it; the caller closes the sink.
[[nodiscard]] part_conversion convert_sound_part(sound_format format, const sound_file& file, const sound_part& part,
                                                 wav_output& output, console& messages);

// Lists the file and, where it has one part alone, converts that part into
// `output` as convert_sound_part does; an XA file is read once for both.
// Where it has several parts, or none, what `output` holds is no file.
struct first_part_conversion {
    sound_listing listing;
    part_conversion converted; // of the sole part; finished where none was converted
    bool sole;                 // the file had one part, and `converted` is its conversion
};
[[nodiscard]] first_part_conversion convert_first_sound_part(sound_format format, const sound_file& file,
                                                             wav_output& output, console& messages);

// The most bytes the WAV file of any one part of the file can hold.
[[nodiscard]] std::uint64_t sound_file_bound(sound_format format, const sound_file& file);

// The most bytes the part's WAV file can hold.
[[nodiscard]] std::uint64_t sound_part_bound(sound_format format, const sound_part& part);
