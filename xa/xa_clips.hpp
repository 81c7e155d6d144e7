#pragma once

// The sound of an XA file: its audio sectors, split by (file number,
// channel) into streams, and each stream into clips. A clip ends after a
// sector that marks the end of its file, or where its coding changes; the
// stream's next sectors start a new clip, decoded from a zero state.
#include "conversion_run.hpp"
#include "xa_sectors.hpp"

#include <cstdint>
#include <string>
#include <vector>

struct xa_clip {
    std::uint8_t file;
    std::uint8_t channel;
    xa_coding coding;
    bool half_rate;
    std::uint64_t first_sector; // its first sector, counted from the file's first
    std::uint64_t last_sector;  // its last
    std::uint64_t sectors;      // how many of the sectors from first to last are its own
};

// Far more than a disc's files hold; a file with more fails.
inline constexpr std::size_t max_xa_clips = 4096;

struct xa_clip_listing {
    std::vector<xa_clip> clips; // in the order they begin
    std::string error;          // why the sectors cannot be read; empty when they can
    bool read_failed = false;   // the error is the file's, not its content's
    // What stopped a listing that also converted: the output failed.
    stage_outcome stopped = stage_outcome::finished;
};

// Reads every sector of `sectors`, a file of the form `layout` gives, and
// lists its clips.
[[nodiscard]] xa_clip_listing list_xa_clips(byte_source& sectors, const sector_layout_of_file& layout);

// The same, and in the same reading the first clip as convert_xa_clip
// writes it (unfinished), so that a file of one clip is read once. Where the
// output fails, the listing stops with `stopped` saying so.
[[nodiscard]] xa_clip_listing list_xa_clips_converting_first(byte_source& sectors, const sector_layout_of_file& layout,
                                                             wav_output& output);

// Writes one clip as a WAV file: 16-bit PCM of its channels at its rate,
// under the canonical header, decoded from a zero state. `sectors` is the
// file from its start again; what lies before the clip's first sector is
// skipped unread.
[[nodiscard]] stage_outcome convert_xa_clip(byte_source& sectors, const sector_layout_of_file& layout,
                                            const xa_clip& clip, wav_output& output);

// The clip's output channels and rate.
[[nodiscard]] pcm_format xa_clip_format(const xa_clip& clip);
