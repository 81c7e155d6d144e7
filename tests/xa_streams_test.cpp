#include "support/memory_streams.hpp"
#include "xa_clips.hpp"
#include "xa_encoder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

std::vector<std::int16_t> tone(std::size_t count, double step)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(20000 * std::sin(step * static_cast<double>(i)));
    }
    return samples;
}

struct placed_sector {
    xa_subheader subheader;
    xa_sound sound;
};

// Two channels of one file between a video sector and two kinds of gap:
// channel 0 ends its file and begins again, channel 1 changes its coding.
struct interleaved_file {
    std::vector<placed_sector> sectors;
    std::vector<std::vector<xa_sound>> clips; // each clip's sound, in the order the clips begin
    std::vector<xa_coding> codings;
};

interleaved_file make_interleaved()
{
    const xa_coding mono{false, false};
    const xa_coding stereo{true, false};
    const xa_coding stereo_8{true, true};
    const std::vector<xa_sound> a = encode_xa(tone(2 * 4032, 0.01), mono);
    const std::vector<xa_sound> b = encode_xa(tone(2 * 4032, 0.03), stereo);
    const std::vector<xa_sound> a2 = encode_xa(tone(4032, 0.05), mono);
    const std::vector<xa_sound> b2 = encode_xa(tone(2016, 0.02), stereo_8);
    const auto audio = [](std::uint8_t channel, xa_coding coding, bool half, std::uint8_t end = 0) {
        return xa_subheader{1, channel, static_cast<std::uint8_t>(xa_audio_submode | end),
                            xa_coding_byte(coding, half)};
    };
    xa_sound video{};
    video.fill(0x60);
    return {{{audio(0, mono, false), a[0]},
             {{1, 0, 0x08, 0}, video},
             {audio(1, stereo, true), b[0]},
             {{1, 0xFF, xa_audio_submode, 0x01}, a[0]},
             {audio(0, mono, false, xa_end_of_file), a[1]},
             {audio(1, stereo, true), b[1]},
             {audio(0, mono, false), a2[0]},
             {{1, 0, 0, 0}, a[0]},
             {audio(1, stereo_8, true), b2[0]}},
            {a, b, a2, b2},
            {mono, stereo, mono, stereo_8}};
}

// The file in one of the forms that keep whole sectors.
bytes lay_out(const interleaved_file& file, sector_form form)
{
    bytes out;
    if (form == sector_form::cdxa) {
        out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'C', 'D', 'X', 'A', 'f', 'm', 't', ' ', 16, 0, 0, 0};
        out.resize(cdxa_header_bytes - 8);
        out.insert(out.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
    }
    for (std::uint32_t i = 0; i < file.sectors.size(); ++i) {
        const auto raw = xa_raw_sector(i, file.sectors[i].subheader, file.sectors[i].sound);
        out.insert(out.end(), raw.begin() + (form == sector_form::raw_2336 ? 16 : 0), raw.end());
    }
    return out;
}

TEST(xa_streams, every_form_gives_the_same_clips_and_each_decodes_from_a_zero_state)
{
    const interleaved_file file = make_interleaved();
    const std::vector<std::array<std::uint64_t, 5>> expected{// channel, first sector, last sector, sectors, rate
                                                             {0, 0, 4, 2, 37800},
                                                             {1, 2, 5, 2, 18900},
                                                             {0, 6, 6, 1, 37800},
                                                             {1, 8, 8, 1, 18900}};
    for (const sector_form form : {sector_form::raw, sector_form::cdxa, sector_form::raw_2336}) {
        const bytes laid = lay_out(file, form);
        const sector_layout_of_file layout = recognise_sector_form(laid, laid.size());
        ASSERT_EQ(layout.form, form);
        memory_source listed{laid, 5000};
        const xa_clip_listing listing = list_xa_clips(listed, layout);
        ASSERT_EQ(listing.error, "");
        ASSERT_EQ(listing.clips.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const xa_clip& clip = listing.clips[i];
            EXPECT_EQ((std::array<std::uint64_t, 5>{clip.channel, clip.first_sector, clip.last_sector, clip.sectors,
                                                    xa_clip_format(clip).rate}),
                      expected[i])
                << "clip " << i;
            memory_source source{laid, 3000};
            memory_sink sink;
            wav_output output{sink};
            ASSERT_EQ(convert_xa_clip(source, layout, clip, output), stage_outcome::finished);
            ASSERT_EQ(finish_wav(output), io_status::ok);

            bytes wanted;
            xa_stream_state state{};
            std::array<std::int16_t, xa_max_sector_samples> samples{};
            for (const xa_sound& sound : file.clips[i]) {
                const std::size_t count = decode_xa_sector(sound, file.codings[i], state, samples);
                for (std::size_t s = 0; s < count; ++s) {
                    wanted.push_back(static_cast<std::uint8_t>(samples[s]));
                    wanted.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(samples[s]) >> 8U));
                }
            }
            const canonical_wav_header header =
                make_canonical_wav_header(xa_clip_format(clip), static_cast<std::uint32_t>(wanted.size()));
            wanted.insert(wanted.begin(), header.begin(), header.end());
            EXPECT_EQ(sink.bytes, wanted) << "clip " << i;
        }
    }
}

// What is not XA sound: a copy of 2048-byte sectors, and sectors whose
// subheader copies differ or whose coding is reserved.
TEST(xa_streams, copies_without_subheaders_and_damaged_sectors_give_no_sound)
{
    EXPECT_EQ(recognise_sector_form(bytes(3 * 2048, 0x11), 3 * 2048).form, sector_form::none);
    const interleaved_file file = make_interleaved();
    for (const auto& spoil : {std::function<void(bytes&)>{[](bytes& raw) { raw[20] ^= 1; }},
                              std::function<void(bytes&)>{[](bytes& raw) { raw[19] = 0x02; }},
                              std::function<void(bytes&)>{[](bytes& raw) { raw[15] = 1; }}}) {
        bytes laid = lay_out(file, sector_form::raw);
        bytes first(laid.begin(), laid.begin() + 2352);
        spoil(first);
        EXPECT_FALSE(read_xa_audio_sector(first, sector_form::raw).has_value());
    }
}

} // namespace
