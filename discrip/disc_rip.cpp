#include "disc_rip.hpp"

#include "blockrip.hpp"
#include "cd_audio.hpp"
#include "cinerip.hpp"
#include "cue_sheet.hpp"
#include "named_image.hpp"
#include "sort_disc_file.hpp"
#include "sound_files.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace {

std::string extension_of(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? ""
                                                                                   : lower_case(path.substr(dot + 1));
}

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The folder of a file's name on the disk, as typed: with either slash.
std::string disk_folder_of(const std::string& name)
{
    const std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? "" : name.substr(0, slash + 1);
}

std::string base_name(const std::string& path)
{
    return path.substr(folder_of(path).size());
}

std::string without_extension(const std::string& path)
{
    return extension_of(path).empty() ? path : path.substr(0, path.find_last_of('.'));
}

named_file as_named(const folder_tree::found_file& file)
{
    return {file.name, file.size};
}

// What a row of the page converts: a loose file, or an entry of an image.
struct rip_source {
    std::string path;                   // "Game/MOVIES/INTRO.STR"
    std::string name;                   // what the programs are given: the file's own name
    std::shared_ptr<named_image> image; // the loose file alone, or the image's files
    std::optional<disc_entry> entry;    // inside the image; the whole of its one file otherwise
    std::optional<disc_entry> body_entry;
    bool has_body = false; // a .VH with its .VB (the image's second file, where loose)
    std::string reason;    // not read, and why
    std::string failure;   // an image that cannot be read
};

std::unique_ptr<byte_source> open_source(const rip_source& source)
{
    if (source.entry) {
        return open_entry(*source.image, *source.entry);
    }
    return source.image->open_range(0, 0, source.image->size(0));
}

enum class output_kind : std::uint8_t { program, cd_audio, sound_part };

struct rip_output {
    std::size_t source;
    output_kind kind;
    const converter_profile* profile = nullptr;
    sound_format format = sound_format::xa;
    sound_part part{};
    std::string path{};      // its file, as written: the source's path, the part's suffix, ".wav"
    std::uint64_t bytes = 0; // how many of the input's bytes it is read from
};

struct rip_plan {
    std::vector<rip_source> sources;
    std::vector<rip_output> outputs;
    std::vector<std::pair<std::string, std::string>> skipped; // path, reason
    std::vector<std::pair<std::string, std::string>> failed;  // path, why
};

sound_file sound_file_of(const rip_source& source)
{
    sound_file file{[&source] { return open_source(source); },
                    source.entry ? source.entry->size : source.image->size(0), false};
    if (source.has_body) {
        if (source.body_entry) {
            file.open_body = [&source] { return open_entry(*source.image, *source.body_entry); };
            file.body_size = source.body_entry->size;
        } else {
            file.open_body = [&source] { return source.image->open_range(1, 0, source.image->size(1)); };
            file.body_size = source.image->size(1);
        }
    }
    return file;
}

sound_file xa_file_of(const rip_source& source)
{
    if (source.entry && source.entry->where.layout == sector_layout::raw) {
        return {[&source] { return open_entry_sectors(*source.image, source.entry->where); },
                source.entry->where.sectors * raw_sector_bytes, true};
    }
    return sound_file_of(source);
}

// The files found, as the page takes them: disc images listed into their
// entries, the rest as they are.
class source_gathering {
public:
    source_gathering(file_system& files, rip_plan& plan) : files_{files}, plan_{plan} {}

    // The files of every input, taken together as files chosen together on
    // the page are; `beside` are more files a cue sheet among them may name
    // (those beside a cue sheet given alone), no sources of their own.
    void add(const std::vector<folder_tree::found_file>& found, const std::vector<folder_tree::found_file>& beside)
    {
        std::set<std::string> claimed;
        std::vector<folder_tree::found_file> all = found;
        all.insert(all.end(), beside.begin(), beside.end());
        for (const folder_tree::found_file& cue : found) {
            if (extension_of(cue.path) == "cue") {
                claimed.insert(cue.path);
                add_cue(cue, all, claimed);
            }
        }
        for (const folder_tree::found_file& file : found) {
            if (claimed.count(file.path) == 0) {
                add_file(file);
            }
        }
    }

private:
    void fail(const std::string& path, std::string why)
    {
        plan_.sources.push_back(
            {path, base_name(path), nullptr, std::nullopt, std::nullopt, false, {}, std::move(why)});
    }

    void add_listing(const std::string& path, const std::shared_ptr<named_image>& image, const disc_listing& listing)
    {
        if (!listing.error.empty()) {
            fail(path, "The disc image cannot be read: " + listing.error + ".");
            return;
        }
        for (const disc_entry& entry : listing.entries) {
            const std::string inside = without_extension(path) + "/" + entry.path;
            plan_.sources.push_back(
                {inside, base_name(entry.path), image, entry, std::nullopt, false, entry.reason, {}});
        }
    }

    void add_cue(const folder_tree::found_file& cue, const std::vector<folder_tree::found_file>& found,
                 std::set<std::string>& claimed)
    {
        std::vector<folder_tree::found_file> candidates;
        std::vector<std::string> names;
        // Beside it on the disk: where the files of one folder were chosen,
        // their paths on the page say the same.
        for (const folder_tree::found_file& other : found) {
            if (other.name != cue.name && disk_folder_of(other.name) == disk_folder_of(cue.name)) {
                candidates.push_back(other);
                names.push_back(base_name(other.path));
            }
        }
        named_image alone{files_, {as_named(cue)}};
        const std::unique_ptr<byte_source> text = alone.open_range(0, 0, cue.size);
        if (!text) {
            fail(cue.path, "The cue sheet cannot be read.");
            return;
        }
        const cue_reading read = read_cue_sheet(*text, cue.size);
        if (!read.error.empty()) {
            fail(cue.path, "The cue sheet cannot be read: " + read.error + ".");
            return;
        }
        const cue_files_found named = find_cue_files(read.sheet, names);
        if (!named.error.empty()) {
            fail(cue.path, "The cue sheet names " + named.error + ", which was not chosen with it.");
            return;
        }
        std::vector<named_file> parts;
        for (const std::size_t candidate : named.files) {
            parts.push_back(as_named(candidates[candidate]));
            claimed.insert(candidates[candidate].path);
        }
        const auto image = std::make_shared<named_image>(files_, parts);
        add_listing(cue.path, image, list_cue_image(read.sheet, *image));
    }

    void add_file(const folder_tree::found_file& file)
    {
        const std::string extension = extension_of(file.path);
        const auto image = std::make_shared<named_image>(files_, std::vector{as_named(file)});
        if (extension == "iso") {
            add_listing(file.path, image, list_image(image_kind::iso, *image));
            return;
        }
        if (extension == "bin") {
            const std::unique_ptr<byte_source> start =
                image->open_range(0, 0, std::min<std::uint64_t>(file.size, raw_sector_bytes));
            const fetch_result first = start ? start->fetch() : fetch_result{fetch_status::failed, {}};
            if (first.status != fetch_status::ok) {
                fail(file.path, "The disc image cannot be read.");
                return;
            }
            if (starts_with_sync(first.bytes)) {
                add_listing(file.path, image, list_image(image_kind::raw_bin, *image));
                return;
            }
        }
        plan_.sources.push_back({file.path, base_name(file.path), image, std::nullopt, std::nullopt, false, {}, {}});
    }

    file_system& files_;
    rip_plan& plan_;
};

// Each .VH takes the .VB of its name in its folder, matched without regard
// to case, loose or in the same image; the .VB is then no source of its own.
void pair_sound_banks(std::vector<rip_source>& sources)
{
    // Loose files by their path alone; an image's entries within it.
    const auto key = [](const rip_source& source) {
        const named_image* within = source.entry ? source.image.get() : nullptr;
        return std::pair{within, lower_case(without_extension(source.path))};
    };
    std::map<std::pair<const named_image*, std::string>, std::size_t> bodies;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (extension_of(sources[i].path) == "vb" && sources[i].image) {
            bodies[key(sources[i])] = i;
        }
    }
    std::set<std::size_t> claimed;
    for (rip_source& source : sources) {
        const auto body = bodies.find(key(source));
        if (extension_of(source.path) != "vh" || !source.image || body == bodies.end()) {
            continue;
        }
        const rip_source& vb = sources[body->second];
        if (!source.entry && !vb.entry) {
            source.image = source.image->joined(*vb.image);
            source.has_body = true;
            claimed.insert(body->second);
        } else if (source.entry && vb.entry && source.image == vb.image) {
            source.body_entry = vb.entry;
            source.has_body = true;
            claimed.insert(body->second);
        }
    }
    std::vector<rip_source> kept;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (claimed.count(i) == 0) {
            kept.push_back(std::move(sources[i]));
        }
    }
    sources = std::move(kept);
}

// A source's bytes under any path, and its WAV file at `output`.
class source_files final : public file_system {
public:
    source_files(const rip_source& source, file_system& disk, std::string output)
        : source_{source}, disk_{disk}, output_{std::move(output)}
    {
    }

    std::unique_ptr<byte_source> open_input(const std::string&) override { return open_source(source_); }
    std::unique_ptr<byte_sink> create_output(const std::string&, const std::string&) override
    {
        return disk_.create_output(output_, "");
    }
    void discard_output(const std::string&) override { disk_.discard_output(output_); }

private:
    const rip_source& source_;
    file_system& disk_;
    std::string output_;
};

const converter_profile* profile_of(content_verdict verdict)
{
    return verdict == content_verdict::cinerip ? &cinerip_profile : &blockrip_profile;
}

// What each source gives: its outputs, or why it is skipped or failed.
void plan_outputs(rip_plan& plan, file_system& disk)
{
    for (std::size_t i = 0; i < plan.sources.size(); ++i) {
        const rip_source& source = plan.sources[i];
        if (!source.failure.empty() || !source.reason.empty()) {
            (source.failure.empty() ? plan.skipped : plan.failed)
                .emplace_back(source.path, source.failure.empty() ? source.reason : source.failure);
            continue;
        }
        if (source.entry && source.entry->kind == entry_kind::audio_track) {
            plan.outputs.push_back({i, output_kind::cd_audio});
            continue;
        }
        sorted_content sorted{};
        if (source.entry) {
            sorted = sort_disc_file(*source.image, *source.entry);
        } else {
            source_files files{source, disk, {}};
            sorted = sort_content(files, source.name, source.image->size(0));
        }
        switch (sorted.verdict) {
        case content_verdict::cinerip:
        case content_verdict::blockrip:
            plan.outputs.push_back({i, output_kind::program, profile_of(sorted.verdict)});
            break;
        case content_verdict::xa:
        case content_verdict::vag:
        case content_verdict::bank: {
            const sound_format format = sorted.verdict == content_verdict::xa    ? sound_format::xa
                                        : sorted.verdict == content_verdict::vag ? sound_format::vag
                                                                                 : sound_format::bank;
            const sound_listing listing =
                list_sound_parts(format, format == sound_format::xa ? xa_file_of(source) : sound_file_of(source));
            if (listing.unreadable) {
                plan.failed.emplace_back(source.path, "The file cannot be read.");
            } else if (!listing.reason.empty()) {
                plan.skipped.emplace_back(source.path, listing.reason);
            }
            for (const sound_part& part : listing.parts) {
                plan.outputs.push_back({i, output_kind::sound_part, nullptr, format, part});
            }
            break;
        }
        case content_verdict::skipped:
            plan.skipped.emplace_back(source.path, std::string{sorted.reason});
            break;
        case content_verdict::unreadable:
            plan.failed.emplace_back(source.path, "The file cannot be read.");
            break;
        }
    }
}

// Paths in the order a person sorts them: case aside, and runs of digits by
// their value (TRACK2 before TRACK10).
bool before_by_path(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) != 0 &&
            std::isdigit(static_cast<unsigned char>(b[j])) != 0) {
            const std::size_t a_end = a.find_first_not_of("0123456789", i);
            const std::size_t b_end = b.find_first_not_of("0123456789", j);
            const std::string x = a.substr(i, a_end - i);
            const std::string y = b.substr(j, b_end - j);
            const std::string x_digits = x.substr(std::min(x.find_first_not_of('0'), x.size()));
            const std::string y_digits = y.substr(std::min(y.find_first_not_of('0'), y.size()));
            if (x_digits.size() != y_digits.size() || x_digits != y_digits) {
                return x_digits.size() != y_digits.size() ? x_digits.size() < y_digits.size() : x_digits < y_digits;
            }
            i = a_end == std::string::npos ? a.size() : a_end;
            j = b_end == std::string::npos ? b.size() : b_end;
            continue;
        }
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[j]));
        if (x != y) {
            return x < y;
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j || (a.size() - i == b.size() - j && a < b);
}

// Each path with ".wav" added; where that name is taken, by an earlier path
// or by a name made here, " (N)" before ".wav", the lowest N from 2 that is
// free, names compared without regard to case: as the page names the
// entries of its ZIP.
std::vector<std::string> output_names(const std::vector<std::string>& paths)
{
    std::set<std::string> taken;
    std::vector<std::optional<std::string>> own;
    for (const std::string& path : paths) {
        const bool free = taken.insert(lower_case(path + ".wav")).second;
        own.push_back(free ? std::optional{path + ".wav"} : std::nullopt);
    }
    std::map<std::string, int> tried;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (own[i]) {
            names.push_back(*own[i]);
            continue;
        }
        for (int number = tried.count(paths[i]) != 0 ? tried[paths[i]] + 1 : 2;; ++number) {
            const std::string name = paths[i] + " (" + std::to_string(number) + ").wav";
            if (taken.insert(lower_case(name)).second) {
                tried[paths[i]] = number;
                names.push_back(name);
                break;
            }
        }
    }
    return names;
}

// The run watches for interrupts from its start to its end; the conversions
// in it, each on a thread of its own, only ask whether one came.
class shared_interrupts final : public interrupts {
public:
    explicit shared_interrupts(interrupts& whole) : whole_{whole} {}

    void begin_watch() override {}
    void end_watch() override {}
    [[nodiscard]] bool received() const override { return whole_.received(); }

private:
    interrupts& whole_;
};

// The messages of one output, kept until it is its turn to be printed.
class kept_console final : public console {
public:
    void print(std::string_view text) override { text_ += text; }
    [[nodiscard]] const std::string& text() const { return text_; }

private:
    std::string text_;
};

struct output_result {
    int status = 0;
    std::string messages{};
    bool existed = false; // a WAV file was there, and -f was not given
};

struct run_options {
    std::string folder = ".";
    unsigned threads = 0;
    bool force = false;
    bool list_only = false;
    std::vector<std::string> inputs;
};

// Writes one output, as the page writes that row's WAV file.
output_result convert_output(const rip_plan& plan, const rip_output& output, const run_options& options,
                             file_system& disk, folder_tree& folders, interrupts& stop_requests)
{
    const rip_source& source = plan.sources[output.source];
    const std::string path = options.folder + "/" + output.path;
    kept_console messages;
    if (!options.force && folders.exists(path)) {
        return {0, {}, true};
    }
    if (!folders.make_folders(folder_of(path))) {
        return {exit_status(run_outcome::output_not_created), "ERROR: Cannot make the folder of " + path + "\r\n"};
    }
    if (output.kind == output_kind::program) {
        source_files files{source, disk, path};
        const run_outcome outcome = run_chosen(*output.profile, false, source.name, messages, files, stop_requests);
        return {exit_status(outcome), messages.text()};
    }
    const std::unique_ptr<byte_sink> sink = disk.create_output(path, "");
    if (!sink) {
        return {exit_status(run_outcome::output_not_created),
                "ERROR: Cannot open file for decompression: " + path + "\r\n"};
    }
    stage_outcome outcome = stage_outcome::finished;
    if (output.kind == output_kind::cd_audio) {
        const std::unique_ptr<byte_source> track = open_source(source);
        const copy_outcome copied =
            track ? write_cd_audio(*track, source.entry->size, *sink) : copy_outcome::read_failed;
        outcome = copied == copy_outcome::done          ? stage_outcome::finished
                  : copied == copy_outcome::read_failed ? stage_outcome::read_failed
                                                        : stage_outcome::write_failed;
    } else {
        wav_output wav{*sink};
        const sound_file file = output.format == sound_format::xa ? xa_file_of(source) : sound_file_of(source);
        outcome = convert_sound_part(output.format, file, output.part, wav, messages).outcome;
    }
    const bool closed = sink->close() == io_status::ok;
    if (outcome == stage_outcome::finished && closed) {
        return {0, messages.text()};
    }
    disk.discard_output(path);
    const std::string why = outcome == stage_outcome::read_failed   ? cannot_read_message(source.path)
                            : outcome == stage_outcome::interrupted ? std::string{"ERROR: Conversion interrupted\r\n"}
                                                                    : cannot_write_message(path);
    return {exit_status(outcome == stage_outcome::interrupted ? run_outcome::interrupted : run_outcome::stopped_early),
            messages.text() + why};
}

// How far the run is: files and bytes done of all, the rate and the time
// left at that rate, on one line that the next overwrites.
std::string progress_line(std::size_t done, std::size_t total, std::uint64_t bytes_done, std::uint64_t bytes_total,
                          double seconds)
{
    const double megabytes = static_cast<double>(bytes_done) / 1e6;
    const double rate = seconds > 0 ? megabytes / seconds : 0;
    const double left = rate > 0 ? (static_cast<double>(bytes_total) / 1e6 - megabytes) / rate : 0;
    const auto whole_left = static_cast<unsigned long>(left + 0.5);
    std::array<char, 160> line{};
    std::snprintf(line.data(), line.size(), "\r%zu of %zu files, %.1f of %.1f MB, %.1f MB/s, %lu:%02lu left  ", done,
                  total, megabytes, static_cast<double>(bytes_total) / 1e6, rate, whole_left / 60, whole_left % 60);
    return line.data();
}

// Runs the outputs on `threads` threads, printing each one's messages whole,
// in order, as soon as it and those before it are done. Returns each one's
// result; one never started (an interrupt came first) has none.
std::vector<std::optional<output_result>> convert_all(const rip_plan& plan, const run_options& options,
                                                      console& messages, console* progress, file_system& disk,
                                                      folder_tree& folders, interrupts& stop_requests)
{
    const auto started = std::chrono::steady_clock::now();
    std::uint64_t bytes_total = 0;
    for (const rip_output& output : plan.outputs) {
        bytes_total += output.bytes;
    }
    std::uint64_t bytes_done = 0;
    const std::size_t count = plan.outputs.size();
    std::vector<std::optional<output_result>> results(count);
    std::mutex guard;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    std::size_t running = std::min<std::size_t>(options.threads, count);
    const auto work = [&] {
        for (std::size_t i = next++; i < count && !stop_requests.received(); i = next++) {
            output_result result = convert_output(plan, plan.outputs[i], options, disk, folders, stop_requests);
            const std::lock_guard lock{guard};
            results[i] = std::move(result);
            changed.notify_all();
        }
        const std::lock_guard lock{guard};
        --running;
        changed.notify_all();
    };
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < running; ++t) {
        workers.emplace_back(work);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock{guard};
        changed.wait(lock, [&] { return results[i].has_value() || running == 0; });
        if (!results[i]) {
            break;
        }
        const output_result& result = *results[i];
        lock.unlock();
        if (progress != nullptr) {
            progress->print("\r" + std::string(79, ' ') + "\r"); // the line goes before the messages come
        }
        messages.print(options.folder + "/" + plan.outputs[i].path + "\r\n");
        messages.print(result.existed ? "A WAV file is there already; -f overwrites it.\r\n" : result.messages);
        bytes_done += plan.outputs[i].bytes;
        if (progress != nullptr) {
            const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
            progress->print(progress_line(i + 1, count, bytes_done, bytes_total, seconds.count()) +
                            (i + 1 == count ? "\n" : ""));
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return results;
}

std::optional<run_options> read_options(std::span<const std::string> arguments, const rip_start& start,
                                        console& messages)
{
    run_options options;
    options.threads = std::max(1U, start.cores);
    bool folder_given = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool has_value = i + 1 < arguments.size();
        if (argument == "-o" && has_value) {
            options.folder = arguments[++i];
            folder_given = true;
        } else if (argument == "-j" && has_value) {
            const std::string& value = arguments[++i];
            const bool number = !value.empty() && value.size() <= 4 &&
                                std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!number || std::stoul(value) == 0) {
                messages.print("discrip: -j takes a number of threads from 1\r\n");
                return std::nullopt;
            }
            options.threads = static_cast<unsigned>(std::stoul(value));
        } else if (argument == "-f") {
            options.force = true;
        } else if (argument == "--list") {
            options.list_only = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            messages.print("discrip: unknown option " + argument + "\r\n");
            return std::nullopt;
        } else {
            options.inputs.push_back(argument);
        }
    }
    if (options.inputs.empty()) {
        return std::nullopt;
    }
    if (start.beside_inputs && !folder_given) {
        // The folder as typed, without its last slash but for a root's.
        const std::string folder = disk_folder_of(options.inputs.front());
        options.folder = folder.empty() ? "." : folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
    }
    return options;
}

std::string summary(std::size_t converted, const rip_plan& plan, std::size_t existed, std::size_t failed)
{
    std::map<std::string, std::size_t> reasons;
    for (const auto& [path, reason] : plan.skipped) {
        ++reasons[reason];
    }
    std::string text =
        std::to_string(converted) + " converted, " + std::to_string(plan.skipped.size() + existed) + " skipped";
    std::string by_reason;
    for (const auto& [reason, count] : reasons) {
        by_reason += (by_reason.empty() ? "" : "; ") + reason + ": " + std::to_string(count);
    }
    if (existed > 0) {
        by_reason +=
            (by_reason.empty() ? "" : "; ") + std::string{"a WAV file there already: "} + std::to_string(existed);
    }
    return text + (by_reason.empty() ? "" : " (" + by_reason + ")") + ", " + std::to_string(failed) + " failed\r\n";
}

} // namespace

run_outcome run_discrip(std::span<const std::string> arguments, const rip_start& start, console& messages,
                        console* progress, file_system& files, folder_tree& folders, interrupts& stop_requests)
{
    const std::optional<run_options> options = read_options(arguments, start, messages);
    if (!options) {
        messages.print(discrip_usage);
        return run_outcome::usage_shown;
    }
    const interrupt_watch watch{stop_requests};
    shared_interrupts each_run{stop_requests};
    rip_plan plan;
    bool unreadable_input = false;
    std::vector<folder_tree::found_file> chosen;
    std::vector<folder_tree::found_file> beside;
    for (const std::string& input : options->inputs) {
        const std::optional<std::vector<folder_tree::found_file>> found = folders.files_under(input);
        if (!found) {
            messages.print("ERROR: Cannot open file " + input + "\r\n");
            unreadable_input = true;
            continue;
        }
        chosen.insert(chosen.end(), found->begin(), found->end());
        if (found->size() == 1 && extension_of(found->front().path) == "cue") {
            const std::vector<folder_tree::found_file> more = folders.files_beside(input);
            beside.insert(beside.end(), more.begin(), more.end());
        }
    }
    // A file given, or found beside two cue sheets, counts once.
    std::set<std::string> seen;
    for (const folder_tree::found_file& file : chosen) {
        seen.insert(file.name);
    }
    std::erase_if(beside, [&](const folder_tree::found_file& file) { return !seen.insert(file.name).second; });
    source_gathering gathering{files, plan};
    gathering.add(chosen, beside);
    pair_sound_banks(plan.sources);
    std::stable_sort(plan.sources.begin(), plan.sources.end(),
                     [](const rip_source& a, const rip_source& b) { return before_by_path(a.path, b.path); });
    plan_outputs(plan, files);
    std::vector<std::string> paths;
    for (const rip_output& output : plan.outputs) {
        paths.push_back(plan.sources[output.source].path + output.part.suffix);
    }
    const std::vector<std::string> names = output_names(paths);
    for (std::size_t i = 0; i < names.size(); ++i) {
        rip_output& output = plan.outputs[i];
        const rip_source& source = plan.sources[output.source];
        output.path = names[i];
        output.bytes = output.kind == output_kind::sound_part ? output.part.bytes
                       : source.entry                         ? source.entry->size
                                                              : source.image->size(0);
    }

    std::size_t converted = 0;
    std::size_t existed = 0;
    std::size_t failed = plan.failed.size();
    if (options->list_only) {
        for (const rip_output& output : plan.outputs) {
            messages.print(options->folder + "/" + output.path + "\r\n");
        }
    } else {
        if (!plan.outputs.empty() && !folders.make_folders(options->folder)) {
            messages.print("ERROR: Cannot make the folder " + options->folder + "\r\n");
            return run_outcome::output_not_created;
        }
        for (const std::optional<output_result>& result :
             convert_all(plan, *options, messages, progress, files, folders, each_run)) {
            if (result && result->existed) {
                ++existed;
            } else if (result && result->status == 0) {
                ++converted;
            } else if (result) {
                ++failed;
            }
        }
    }
    for (const auto& [path, reason] : plan.skipped) {
        messages.print("skipped " + path + ": " + reason + "\r\n");
    }
    for (const auto& [path, why] : plan.failed) {
        messages.print("failed " + path + ": " + why + "\r\n");
    }
    messages.print(summary(converted, plan, existed, failed));
    if (stop_requests.received()) {
        return run_outcome::interrupted;
    }
    if (failed > 0) {
        return run_outcome::stopped_early;
    }
    return unreadable_input ? run_outcome::input_not_opened : run_outcome::done;
}
