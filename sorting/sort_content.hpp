#pragma once

#include "streams.hpp"
#include "xa_sectors.hpp"

#include <cstdint>
#include <string>
#include <string_view>

// What converts a file of unknown kind, judged by what it holds, or why
// nothing does. A structure that names the sound comes first:
// - vag, for a file that begins with "VAGp";
// - bank, for one that begins with "pBAV" (a .VAB, or a .VH whose body is
//   in its .VB);
// - xa, for whole sectors (raw, in a RIFF "CDXA" wrapper, or of 2336 bytes;
//   recognise_sector_form) of which one at least among the first 64 is an
//   XA audio sector.
// Then, for the rest:
// - cinerip, for a video container holding at least one "Ad10" chunk: from
//   the start, every chunk header has a printable 4-byte tag and a size of 8
//   or more, and each chunk ends within the file. Zero bytes after the last
//   chunk (a sector's padding) and fewer than 8 stray bytes do not break the
//   chain, and the last chunk may be cut short once an audio chunk has come
//   (a video cut short). Once an audio chunk is found, the chain is followed
//   for another MiB and taken for whole.
// - blockrip, for a raw block stream: of its 16-byte blocks that are not all
//   zero, at least 90% have a filter of 0-4, a shift of 0-12 and a flags
//   byte of 0-7, and there is at least one such block. The blocks judged
//   are the first 1,000 that are not all zero (all of them in a smaller
//   file): enough that a header such as a VAG file's cannot tip it, and few
//   enough that sorting costs little beside converting (the page reads
//   them in the window that the conversion reads next).
// - none, with the reason: "an empty file", "only zero bytes", "a chunk
//   file with no audio chunk" (a chain as above without "Ad10"), or "not
//   ADPCM sound".
enum class content_verdict { cinerip, blockrip, xa, vag, bank, skipped, unreadable };

struct sorted_content {
    content_verdict verdict;
    std::string_view reason; // why it was skipped
};

inline constexpr std::uint64_t xa_sectors_to_sort = 64;

enum class xa_presence { found, absent, unreadable };

// Whether `sectors`, `size` bytes of whole sectors in any of the forms above,
// hold XA sound among their first xa_sectors_to_sort sectors.
[[nodiscard]] xa_presence find_xa_sound(byte_source& sectors, std::uint64_t size);

// Sorts the file at `path`, of `size` bytes (or fewer: a bound where the
// exact length is not known before reading), reading it at most three times
// from its start through `files`.
[[nodiscard]] sorted_content sort_content(file_system& files, const std::string& path, std::uint64_t size);
