// The sound formats' files as their parts: the bundled samples listed and
// each part converted, and files that give none, with the reason.
#include "sound_files.hpp"
#include "sound_samples.hpp"
#include "support/memory_streams.hpp"

#include <gtest/gtest.h>

#include <map>

namespace {

using bytes = std::vector<std::uint8_t>;

sound_file memory_file(const bytes& file, const bytes* body = nullptr, std::size_t fail_at = memory_source::never)
{
    sound_file made{[&file, fail_at] { return std::make_unique<memory_source>(file, 1000, fail_at); }, file.size()};
    if (body != nullptr) {
        made.open_body = [body] { return std::make_unique<memory_source>(*body, 1000); };
        made.body_size = body->size();
    }
    return made;
}

struct listed_part {
    std::string suffix;
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint64_t frames;
    bool loops;
};

} // namespace

TEST(sound_files, each_sample_lists_its_parts_and_converts_each_exactly_to_its_length)
{
    std::map<std::string, bytes> samples;
    for (const named_bytes& sample : sound_format_samples()) {
        samples[sample.name] = sample.bytes;
    }
    const bytes one_clip(samples["VOICES.XA"].begin(), samples["VOICES.XA"].begin() + 2 * 2352);
    bytes no_rate = samples["JINGLE.VAG"];
    std::fill_n(no_rate.begin() + 16, 4, 0);
    const bytes nothing;
    struct sound_case {
        std::string name;
        sound_format format;
        const bytes& file;
        const bytes* body;
        std::string reason;
        std::vector<listed_part> parts;
        std::string first_note;
    };
    const std::vector<sound_case> cases{
        {"XA",
         sound_format::xa,
         samples["VOICES.XA"],
         nullptr,
         "",
         {{".f1c01", 2, 37800, 38 * 2016, false},
          {".f1c03-1", 1, 18900, 5 * 4032, false},
          {".f1c03-2", 1, 18900, 5 * 4032, false}},
         ""},
        {"XA of one clip", sound_format::xa, one_clip, nullptr, "", {{"", 2, 37800, 2 * 2016, false}}, ""},
        {"VAG", sound_format::vag, samples["JINGLE.VAG"], nullptr, "", {{"", 1, 44100, 224952, true}}, "named JINGLE"},
        {"VAG at no rate",
         sound_format::vag,
         no_rate,
         nullptr,
         "",
         {{"", 1, 22050, 224952, true}},
         "named JINGLE; its header's rate (0) cannot be right"},
        {"bank in two files",
         sound_format::bank,
         samples["KIT.VH"],
         &samples["KIT.VB"],
         "",
         {{".s001", 1, 44100, 4032, false}, {".s002", 1, 88200, 6048, true}, {".s003", 1, 44100, 2044, false}},
         ""},
        {"bank in one", sound_format::bank, samples["DRUMS.VAB"], nullptr, "", {{"", 1, 21422, 4032, false}}, ""},
        {"header alone",
         sound_format::bank,
         samples["KIT.VH"],
         nullptr,
         "a sound bank's header without its body (.VB)",
         {},
         ""},
        {"no sectors",
         sound_format::xa,
         samples["JINGLE.VAG"],
         nullptr,
         "no whole sectors, which XA sound needs",
         {},
         ""},
        {"no VAG header", sound_format::vag, samples["KIT.VB"], nullptr, "not a VAG file", {}, ""},
        {"empty", sound_format::bank, nothing, nullptr, "not a sound bank's header", {}, ""},
    };
    for (const sound_case& c : cases) {
        const sound_file file = memory_file(c.file, c.body);
        const sound_listing listing = list_sound_parts(c.format, file);
        EXPECT_EQ(listing.reason, c.reason) << c.name;
        EXPECT_FALSE(listing.unreadable) << c.name;
        ASSERT_EQ(listing.parts.size(), c.parts.size()) << c.name;
        // Listed and converted at once, a sole part comes out the same.
        memory_sink first_sink;
        wav_output first_output{first_sink};
        string_console first_messages;
        const first_part_conversion first = convert_first_sound_part(c.format, file, first_output, first_messages);
        EXPECT_EQ(first.sole, c.parts.size() == 1) << c.name;
        EXPECT_EQ(first.listing.parts.size(), c.parts.size()) << c.name;
        EXPECT_EQ(first.converted.outcome, stage_outcome::finished) << c.name;
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            const sound_part& part = listing.parts[i];
            const listed_part& expected = c.parts[i];
            EXPECT_EQ(part.suffix, expected.suffix) << c.name;
            EXPECT_EQ(part.format.channels, expected.channels) << c.name << part.suffix;
            EXPECT_EQ(part.format.rate, expected.rate) << c.name << part.suffix;
            memory_sink sink;
            wav_output output{sink};
            string_console messages;
            const part_conversion converted = convert_sound_part(c.format, file, part, output, messages);
            EXPECT_EQ(converted.outcome, stage_outcome::finished) << c.name << part.suffix;
            EXPECT_EQ(converted.frames, expected.frames) << c.name << part.suffix;
            const std::uint64_t data = expected.frames * 2 * expected.channels;
            EXPECT_EQ(sink.bytes.size(), 44 + data + (expected.loops ? sample_chunk_bytes : 0))
                << c.name << part.suffix;
            EXPECT_LE(sink.bytes.size(), sound_part_bound(c.format, part)) << c.name << part.suffix;
            EXPECT_LE(sink.bytes.size(), sound_file_bound(c.format, file)) << c.name << part.suffix;
            if (first.sole) {
                EXPECT_EQ(first_sink.bytes, sink.bytes) << c.name;
                EXPECT_EQ(first.converted.frames, expected.frames) << c.name;
            }
        }
        EXPECT_EQ(c.parts.empty() ? "" : listing.parts[0].note, c.first_note) << c.name;
    }

    // A file that fails while it is read lists nothing, and a part read
    // from it fails.
    const bytes& voices = samples["VOICES.XA"];
    const sound_listing whole = list_sound_parts(sound_format::xa, memory_file(voices));
    const sound_file failing = memory_file(voices, nullptr, voices.size() / 2);
    EXPECT_TRUE(list_sound_parts(sound_format::xa, failing).unreadable);
    memory_sink sink;
    wav_output output{sink};
    string_console messages;
    EXPECT_EQ(convert_sound_part(sound_format::xa, failing, whole.parts.at(0), output, messages).outcome,
              stage_outcome::read_failed);
    // An output that fails while the file is listed stops the listing.
    memory_sink full{1000};
    wav_output into_full{full, 3};
    const first_part_conversion stopped =
        convert_first_sound_part(sound_format::xa, memory_file(voices), into_full, messages);
    EXPECT_EQ(stopped.converted.outcome, stage_outcome::write_failed);
    EXPECT_FALSE(stopped.sole);
}
