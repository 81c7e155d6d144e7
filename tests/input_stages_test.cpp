#include "blockrip.hpp"
#include "cinerip.hpp"
#include "sample_files.hpp"
#include "support/memory_streams.hpp"
#include "support/reference_decoding.hpp"
#include "support/test_files.hpp"

#include <gtest/gtest.h>

namespace {

// A stage's run in memory, whose WAV file is finished however the stage ends;
// its messages are the stage's own, after the run's "Decompressing...".
stage_run finished_run(input_stage_routine stage, std::span<const std::uint8_t> file, const stream_shape& shape = {})
{
    stage_run run = stage_in_memory(stage, file, shape);
    EXPECT_TRUE(run.wav_finished);
    const std::string_view decompressing = "Decompressing...\r\n";
    EXPECT_TRUE(run.messages.starts_with(decompressing)) << run.messages;
    run.messages.erase(0, decompressing.size());
    return run;
}

std::vector<std::uint8_t> bytes_of(std::span<const adpcm_block> blocks)
{
    return raw_block_stream(blocks);
}

void append_bytes(std::vector<std::uint8_t>& file, std::span<const std::uint8_t> bytes)
{
    file.insert(file.end(), bytes.begin(), bytes.end());
}

class scan_chunks_test : public ::testing::Test {
protected:
    const std::vector<adpcm_block> blocks = random_blocks(8, 7);
    const std::vector<std::uint8_t> filler = std::vector<std::uint8_t>(40, 0x55);

    std::vector<std::int16_t> reference(std::size_t count) const
    {
        return decode_all(std::span{blocks}.first(count)).samples;
    }
};

TEST_F(scan_chunks_test, decodes_audio_chunks_and_steps_over_the_rest)
{
    std::vector<std::uint8_t> file;
    append_chunk(file, "Vi10", filler);
    append_chunk(file, "Ad10", bytes_of(std::span{blocks}.first(3)));
    append_chunk(file, "AD10", bytes_of(std::span{blocks}.first(2))); // letter case differs
    append_chunk(file, "ad10", filler);
    const stage_run run = finished_run(scan_chunks, file);
    EXPECT_EQ(run.outcome, stage_outcome::finished);
    EXPECT_EQ(run.samples(), reference(3));
    EXPECT_EQ(run.messages, "");
}

TEST_F(scan_chunks_test, chunks_without_payload_are_headers_alone)
{
    // Audio of size 8, and other chunks whose size is 0, below 8, or so large
    // that it is negative as a signed length: each is its header alone, and
    // the next tag follows right after its size field.
    std::vector<std::uint8_t> file;
    append_chunk_header(file, "Ad10", 8);
    append_chunk_header(file, "Vi10", 8);
    append_chunk_header(file, "Vi10", 0);
    append_chunk_header(file, "Vi10", 5);
    append_chunk_header(file, "Vi10", 0x80000008);
    append_chunk_header(file, "Vi10", 0xFFFFFFFF);
    append_chunk(file, "Ad10", bytes_of(std::span{blocks}.first(1)));
    const stage_run run = finished_run(scan_chunks, file);
    EXPECT_EQ(run.outcome, stage_outcome::finished);
    EXPECT_EQ(run.samples(), reference(1));
}

TEST_F(scan_chunks_test, last_block_of_an_uneven_payload_reads_on)
{
    // A payload of 20 bytes makes two blocks; the second takes 12 bytes from
    // beyond the payload, and the next tag is read after them.
    const std::vector<std::uint8_t> two = bytes_of(std::span{blocks}.first(2));
    std::vector<std::uint8_t> file;
    append_chunk(file, "Ad10", std::span{two}.first(20));
    append_bytes(file, std::span{two}.subspan(20));
    append_chunk(file, "Ad10", bytes_of(std::span{blocks}.subspan(2, 1)));
    const stage_run run = finished_run(scan_chunks, file);
    EXPECT_EQ(run.outcome, stage_outcome::finished);
    EXPECT_EQ(run.samples(), reference(3));
}

TEST_F(scan_chunks_test, ends_quietly_in_a_chunk_header)
{
    // One to three stray bytes, a tag with a cut size, a tag alone.
    for (const std::size_t stray : {1U, 2U, 3U, 4U, 6U}) {
        std::vector<std::uint8_t> file;
        append_chunk(file, "Ad10", bytes_of(std::span{blocks}.first(2)));
        append_chunk_header(file, "Ad10", 0x18);
        file.resize(file.size() - 8 + stray);
        const stage_run run = finished_run(scan_chunks, file);
        EXPECT_EQ(run.outcome, stage_outcome::finished) << stray;
        EXPECT_EQ(run.samples(), reference(2)) << stray;
        EXPECT_EQ(run.messages, "") << stray;
    }
}

TEST_F(scan_chunks_test, warns_once_when_the_file_ends_inside_audio)
{
    const std::string warning = "WARNING: file ends inside an audio chunk\r\n";
    const std::vector<std::uint8_t> three = bytes_of(std::span{blocks}.first(3));
    // A declared size of almost 2 GiB on a file of three blocks and a half.
    std::vector<std::uint8_t> huge;
    append_chunk_header(huge, "Ad10", 0x7FFFFFF8);
    append_bytes(huge, three);
    append_bytes(huge, std::span{three}.first(8));
    const stage_run from_huge = finished_run(scan_chunks, huge);
    EXPECT_EQ(from_huge.outcome, stage_outcome::finished);
    EXPECT_EQ(from_huge.samples(), reference(3));
    EXPECT_EQ(from_huge.messages, warning);

    // The last block of an uneven payload overrunning the end of the file.
    std::vector<std::uint8_t> overrun;
    append_chunk(overrun, "Ad10", std::span{three}.first(20));
    const stage_run from_overrun = finished_run(scan_chunks, overrun);
    EXPECT_EQ(from_overrun.samples(), reference(1));
    EXPECT_EQ(from_overrun.messages, warning);
}

TEST_F(scan_chunks_test, read_failure_stops_the_scan)
{
    std::vector<std::uint8_t> file;
    append_chunk(file, "Ad10", bytes_of(blocks));
    // Inside the third block, inside a header, and inside skipped data.
    for (const std::size_t fail_at : {8U + 40U, 4U, 0U}) {
        const stage_run run = finished_run(scan_chunks, file, {.fetch_bytes = 16, .fail_at = fail_at});
        EXPECT_EQ(run.outcome, stage_outcome::read_failed) << fail_at;
        EXPECT_EQ(run.samples().size(), fail_at < 8 ? 0U : 2U * 28U) << fail_at;
    }
    std::vector<std::uint8_t> skipping;
    append_chunk(skipping, "Vi10", filler);
    append_chunk(skipping, "Ad10", bytes_of(blocks));
    EXPECT_EQ(finished_run(scan_chunks, skipping, {.fetch_bytes = 4, .fail_at = 30}).outcome,
              stage_outcome::read_failed);
}

TEST(input_stages, same_blocks_give_same_samples_whatever_the_packaging)
{
    const std::vector<adpcm_block> blocks = random_blocks(500, 11);
    const std::vector<std::int16_t> expected = decode_all(blocks).samples;
    const std::vector<std::uint8_t> raw = raw_block_stream(blocks);
    const std::vector<container_plan> plans{
        {{1}, {0}}, {{500}, {1}}, {{3, 1, 7, 128, 2}, {13, 1024, 0, 4095}}, {{64}, {70000}}};
    for (const std::size_t fetch_bytes : {1U, 5U, 16U, 17U, 4096U, 65536U}) {
        EXPECT_EQ(finished_run(read_block_stream, raw, {.fetch_bytes = fetch_bytes}).samples(), expected)
            << fetch_bytes;
        for (const container_plan& plan : plans) {
            const stage_run run =
                finished_run(scan_chunks, build_container(blocks, plan), {.fetch_bytes = fetch_bytes});
            EXPECT_EQ(run.outcome, stage_outcome::finished);
            EXPECT_EQ(run.samples(), expected) << fetch_bytes;
        }
    }
}

TEST(read_block_stream, takes_whole_blocks_and_drops_a_short_tail)
{
    const std::vector<adpcm_block> blocks = random_blocks(3, 5);
    const std::vector<std::uint8_t> raw = raw_block_stream(blocks);
    for (const std::size_t length : {0U, 15U, 16U, 33U, 47U, 48U}) {
        const stage_run run = finished_run(read_block_stream, std::span{raw}.first(length), {.fetch_bytes = 7});
        EXPECT_EQ(run.outcome, stage_outcome::finished);
        EXPECT_EQ(run.samples(), decode_all(std::span{blocks}.first(length / 16)).samples) << length;
        EXPECT_EQ(run.messages, "");
    }
    const stage_run failed = finished_run(read_block_stream, raw, {.fetch_bytes = 16, .fail_at = 40});
    EXPECT_EQ(failed.outcome, stage_outcome::read_failed);
    EXPECT_EQ(failed.samples(), decode_all(std::span{blocks}.first(2)).samples);
}

} // namespace

// An interrupt is noticed when the next bytes are fetched: the blocks already
// fetched are decoded, the rest are not.
TEST(input_stages, stop_at_the_fetch_after_an_interrupt)
{
    const std::vector<adpcm_block> blocks = random_blocks(6, 8);
    std::vector<std::uint8_t> container;
    append_chunk(container, "Ad10", raw_block_stream(blocks));
    const struct {
        input_stage_routine stage;
        std::vector<std::uint8_t> file;
        std::size_t header;
    } stages[] = {{scan_chunks, container, 8}, {read_block_stream, raw_block_stream(blocks), 0}};
    for (const auto& [stage, file, header] : stages) {
        const stage_run run = finished_run(stage, file, {.fetch_bytes = header + 32, .interrupt_at = header + 32});
        EXPECT_EQ(run.outcome, stage_outcome::interrupted);
        EXPECT_EQ(run.samples(), decode_all(std::span{blocks}.first(2)).samples);
    }
}

namespace {

// Interrupts as a test sets them: one may come as the watch ends, after the
// last fetch, as a signal during the finish would. Counts the watch's
// beginnings and ends.
class scripted_interrupts final : public interrupts {
public:
    explicit scripted_interrupts(bool during_finish) : during_finish_{during_finish} {}

    void begin_watch() override { ++begun; }
    void end_watch() override
    {
        ++ended;
        came_ = came_ || during_finish_;
    }
    [[nodiscard]] bool received() const override { return came_; }

    int begun = 0;
    int ended = 0;

private:
    bool during_finish_;
    bool came_ = false;
};

struct run_case {
    const char* name;
    stream_shape input;
    std::uint64_t output_capacity; // 0: the output cannot be created
    bool interrupt_during_finish;
    run_outcome outcome;
    std::string messages;                   // after the banner
    std::optional<std::size_t> kept_blocks; // the WAV file's blocks, if one is kept
};

void PrintTo(const run_case& c, std::ostream* out)
{
    *out << c.name;
}

class conversion_run_test : public ::testing::TestWithParam<run_case> {};

// Ten blocks, read 64 bytes (four blocks) at a time.
TEST_P(conversion_run_test, watches_from_the_stage_until_both_files_are_closed)
{
    const run_case& c = GetParam();
    const std::vector<adpcm_block> blocks = random_blocks(10, 9);
    memory_files files;
    files.inputs["sound.vb"] = raw_block_stream(blocks);
    files.fetch_bytes = 64;
    files.fail_at = c.input.fail_at;
    files.interrupt_at = c.input.interrupt_at;
    files.output_capacity = c.output_capacity;
    files.outputs_can_be_created = c.output_capacity != 0;
    const std::array<std::string, 2> arguments{"blockrip", "sound.vb"};
    string_console messages;
    scripted_interrupts stop_requests{c.interrupt_during_finish};

    EXPECT_EQ(run_conversion(blockrip_profile, arguments, messages, files, stop_requests), c.outcome);
    EXPECT_EQ(messages.text, std::string{blockrip_profile.banner} + c.messages);
    const int stage_ran = c.outcome == run_outcome::output_not_created ? 0 : 1;
    EXPECT_EQ(stop_requests.begun, stage_ran);
    EXPECT_EQ(stop_requests.ended, stage_ran);
    if (!c.kept_blocks) {
        EXPECT_TRUE(files.outputs.empty());
        return;
    }
    const memory_sink& wav = *files.outputs.at("sound.vb.wav");
    EXPECT_TRUE(wav.closed);
    const wav_contents kept = parse_wav(wav.bytes);
    EXPECT_EQ(kept.riff_size, 50 + *c.kept_blocks * pcm_block_bytes);
    EXPECT_EQ(kept.samples, decode_all(std::span{blocks}.first(*c.kept_blocks)).samples);
}

const std::string decompressing = "Decompressing...\r\n";
const std::string interrupted = "ERROR: Conversion interrupted\r\n";
const std::string cannot_write = "ERROR: Cannot write file sound.vb.wav\r\n";
constexpr std::uint64_t unlimited = memory_sink::unlimited;

INSTANTIATE_TEST_SUITE_P(
    paths, conversion_run_test,
    ::testing::Values(run_case{"output_not_created",
                               {},
                               0,
                               false,
                               run_outcome::output_not_created,
                               "ERROR: Cannot open file for decompression: sound.vb.wav\r\n",
                               {}},
                      run_case{"done", {}, unlimited, false, run_outcome::done, decompressing + "DONE!\r\n", 10},
                      run_case{"header_not_written", {}, 10, false, run_outcome::stopped_early, cannot_write, {}},
                      run_case{"read_failed",
                               {.fail_at = 64},
                               unlimited,
                               false,
                               run_outcome::stopped_early,
                               decompressing + "ERROR: Cannot read file sound.vb\r\n",
                               4},
                      run_case{"interrupted_at_a_fetch",
                               {.interrupt_at = 64},
                               unlimited,
                               false,
                               run_outcome::interrupted,
                               decompressing + interrupted,
                               4},
                      run_case{"interrupted_during_the_finish",
                               {},
                               unlimited,
                               true,
                               run_outcome::interrupted,
                               decompressing + interrupted,
                               10},
                      // Seen at a fetch and received as well, as a signal is: said once.
                      run_case{"interrupted_and_not_written",
                               {.interrupt_at = 64},
                               100,
                               true,
                               run_outcome::interrupted,
                               decompressing + interrupted + cannot_write,
                               {}}),
    [](const auto& test_info) { return std::string{test_info.param.name}; });

} // namespace

// The page chooses a run's settings instead of typing them: the same
// messages and bytes as the command line that names the same input. A name
// that begins with '-' would be an option when typed; chosen, it is a file,
// converted as "./-a.vb" is typed.
TEST(run_chosen, prints_and_writes_what_the_command_line_does)
{
    struct chosen_case {
        const converter_profile* profile;
        bool rate_switch;
        std::string path;
        std::vector<std::string> typed;
        run_outcome outcome;
    };
    const std::vector<std::uint8_t> stream = raw_block_stream(random_blocks(3, 4));
    for (const chosen_case& c :
         {chosen_case{&blockrip_profile, false, "a.vb", {"blockrip", "a.vb"}, run_outcome::done},
          chosen_case{&blockrip_profile, true, "a.vb", {"blockrip", "-22", "a.vb"}, run_outcome::done},
          chosen_case{&cinerip_profile, true, "a.vb", {"cinerip", "-11", "a.vb"}, run_outcome::done},
          chosen_case{&blockrip_profile, false, "missing", {"blockrip", "missing"}, run_outcome::input_not_opened},
          chosen_case{&blockrip_profile, false, "-a.vb", {"blockrip", "./-a.vb"}, run_outcome::done}}) {
        std::array<std::string, 2> texts;
        std::array<std::vector<std::uint8_t>, 2> wavs;
        for (std::size_t chosen = 0; chosen < 2; ++chosen) {
            memory_files files;
            files.inputs["a.vb"] = stream;
            files.inputs["-a.vb"] = stream;
            files.inputs["./-a.vb"] = stream;
            string_console messages;
            no_interrupts stop_requests;
            EXPECT_EQ(chosen == 1 ? run_chosen(*c.profile, c.rate_switch, c.path, messages, files, stop_requests)
                                  : run_conversion(*c.profile, c.typed, messages, files, stop_requests),
                      c.outcome)
                << c.path;
            texts[chosen] = messages.text;
            const std::string output = (chosen == 1 ? c.path : c.typed.back()) + ".wav";
            wavs[chosen] = files.outputs.contains(output) ? files.outputs[output]->bytes : std::vector<std::uint8_t>{};
        }
        EXPECT_EQ(texts[1], texts[0]) << c.path;
        EXPECT_EQ(wavs[1], wavs[0]) << c.path;
        EXPECT_EQ(wavs[1].empty(), c.outcome != run_outcome::done) << c.path;
    }
}
