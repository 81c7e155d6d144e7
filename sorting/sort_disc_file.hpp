#pragma once

// Sorting a data file inside a disc image, where the image may keep more of
// it than its bytes: whole sectors, whose subheaders say where XA sound is.
#include "disc_image.hpp"
#include "sort_content.hpp"

#include <string_view>

// Why a file that the directory marks as Form 2 is skipped in an image that
// keeps only its sectors' data: their subheaders, and the XA sound they
// mark, are gone.
inline constexpr std::string_view xa_needs_raw_sectors = "XA sound needs the disc image's raw sectors";

// What converts the data file `entry` of `image`: XA where its whole sectors
// hold XA sound among their first ones; in an image of 2048-byte sectors, a
// Form 2 file is skipped; otherwise sort_content over its bytes.
[[nodiscard]] sorted_content sort_disc_file(image_files& image, const disc_entry& entry);
