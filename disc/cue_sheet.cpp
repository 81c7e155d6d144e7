#include "cue_sheet.hpp"

#include "reasons.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr std::size_t max_line_bytes = 1024;
constexpr std::size_t max_files = 99;
constexpr std::size_t max_tracks = 99;
constexpr std::uint64_t frames_per_second = 75;

// The next word of a line: quoted, or up to the next blank.
std::string_view next_word(std::string_view& line)
{
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    std::size_t end = 0;
    std::string_view word;
    if (line.front() == '"') {
        end = line.find('"', 1);
        word = line.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
        end = end == std::string_view::npos ? line.size() : end + 1;
    } else {
        end = std::min(line.find_first_of(" \t"), line.size());
        word = line.substr(0, end);
    }
    line.remove_prefix(end);
    return word;
}

std::string too_large()
{
    return "too large for a cue sheet (more than " + count_text(max_cue_sheet_bytes / 1024) + " KiB)";
}

std::string upper(std::string_view word)
{
    std::string text{word};
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::optional<unsigned> small_number(std::string_view word, unsigned max)
{
    if (word.empty() || word.size() > 3 ||
        !std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : word) {
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= max ? std::optional{value} : std::nullopt;
}

// mm:ss:ff, 75 frames a second.
std::optional<std::uint64_t> frames_of(std::string_view time)
{
    const std::size_t first = time.find(':');
    const std::size_t second = time.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<unsigned> minutes = small_number(time.substr(0, first), 999);
    const std::optional<unsigned> seconds = small_number(time.substr(first + 1, second - first - 1), 59);
    const std::optional<unsigned> frames = small_number(time.substr(second + 1), frames_per_second - 1);
    if (!minutes || !seconds || !frames) {
        return std::nullopt;
    }
    return (std::uint64_t{*minutes} * 60 + *seconds) * frames_per_second + *frames;
}

// The name alone: a sheet may give folders, in either slash.
std::string file_name(std::string_view path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return std::string{slash == std::string_view::npos ? path : path.substr(slash + 1)};
}

track_mode mode_of(const std::string& mode)
{
    // Each raw sector says its own mode.
    if (mode == "MODE2/2352" || mode == "MODE1/2352") {
        return track_mode::raw_data;
    }
    if (mode == "MODE1/2048") {
        return track_mode::cooked_data;
    }
    return mode == "AUDIO" ? track_mode::audio : track_mode::other;
}

// One line into the sheet; or why the sheet cannot be read.
std::string read_line(std::string_view line, std::size_t number, cue_sheet& sheet)
{
    const std::string at = " (line " + std::to_string(number) + ")";
    const std::string keyword = upper(next_word(line));
    if (keyword == "FILE") {
        const std::string_view name = next_word(line);
        if (name.empty()) {
            return "a FILE without a name" + at;
        }
        if (sheet.files.size() == max_files) {
            return "more than " + count_text(max_files) + " files" + at;
        }
        sheet.files.push_back({file_name(name), upper(next_word(line))});
    } else if (keyword == "TRACK") {
        const std::optional<unsigned> track = small_number(next_word(line), 99);
        const std::string mode = upper(next_word(line));
        if (sheet.files.empty()) {
            return "a TRACK before any FILE" + at;
        }
        if (!track || *track == 0 || mode.empty()) {
            return "a TRACK without its number and mode" + at;
        }
        if (sheet.tracks.size() == max_tracks) {
            return "more than " + count_text(max_tracks) + " tracks" + at;
        }
        sheet.tracks.push_back({*track, sheet.files.size() - 1, mode_of(mode), mode, std::nullopt, std::nullopt});
    } else if (keyword == "INDEX") {
        const std::optional<unsigned> index = small_number(next_word(line), 99);
        const std::optional<std::uint64_t> frames = frames_of(next_word(line));
        if (sheet.tracks.empty()) {
            return "an INDEX outside a TRACK" + at;
        }
        if (!index || !frames) {
            return "an INDEX without its number and mm:ss:ff time" + at;
        }
        cue_track& track = sheet.tracks.back();
        if (track.file != sheet.files.size() - 1) {
            // A track whose pregap ends one file and which starts the next:
            // its times count from the start of the new file.
            track.file = sheet.files.size() - 1;
            track.pregap.reset();
        }
        if (*index == 0) {
            track.pregap = frames;
        } else if (*index == 1) {
            track.start = frames;
        }
    }
    return {};
}

} // namespace

cue_reading parse_cue(std::span<const std::uint8_t> text)
{
    if (text.size() > max_cue_sheet_bytes) {
        return {{}, too_large()};
    }
    std::string_view rest{reinterpret_cast<const char*>(text.data()), text.size()};
    if (rest.starts_with("\xEF\xBB\xBF")) {
        rest.remove_prefix(3);
    }
    cue_sheet sheet;
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (line.size() > max_line_bytes) {
            return {{},
                    "a line of more than " + count_text(max_line_bytes) + " bytes (line " + std::to_string(number) +
                        ")"};
        }
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (std::string why = read_line(line, number, sheet); !why.empty()) {
            return {{}, std::move(why)};
        }
    }
    if (sheet.tracks.empty()) {
        return {{}, "no TRACK"};
    }
    for (const cue_track& track : sheet.tracks) {
        if (!track.start) {
            return {{}, "track " + std::to_string(track.number) + " has no INDEX 01"};
        }
    }
    return {std::move(sheet), {}};
}

cue_reading read_cue_sheet(byte_source& source, std::uint64_t size)
{
    if (size > max_cue_sheet_bytes) {
        return {{}, too_large()};
    }
    std::vector<std::uint8_t> text;
    for (fetch_result next = source.fetch(); !next.bytes.empty() && text.size() <= max_cue_sheet_bytes;
         next = source.fetch()) {
        text.insert(text.end(), next.bytes.begin(), next.bytes.end());
    }
    return parse_cue(text);
}

cue_files_found find_cue_files(const cue_sheet& sheet, std::span<const std::string> candidates)
{
    cue_files_found found;
    for (const cue_file& file : sheet.files) {
        const auto match = std::find_if(candidates.begin(), candidates.end(), [&](const std::string& name) {
            return lower_case(name) == lower_case(file.name);
        });
        if (match == candidates.end()) {
            return {{}, file.name};
        }
        found.files.push_back(static_cast<std::size_t>(match - candidates.begin()));
    }
    return found;
}

std::string lower_case(std::string_view text)
{
    std::string lowered{text};
    for (char& c : lowered) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return lowered;
}
