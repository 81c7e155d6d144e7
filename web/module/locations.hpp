#pragma once

// Where a job's input lies, opened through the host: the whole of one of its
// files, or a data file or an audio track of the disc image they make.
#include "host_files.hpp"
#include "module_api.hpp"

#include <cstdint>
#include <memory>

// A double of the page's, as the whole number of bytes or sectors it is.
[[nodiscard]] std::uint64_t whole(double count);

[[nodiscard]] sector_run sectors_of(const input_location& input);

// The most bytes the input can give: a data file in raw sectors may hold
// Form 2 sectors, which hold more than its recorded size counts.
[[nodiscard]] std::uint64_t input_bound(const input_location& input);

// The job's files, all of them, as a disc image in their order.
[[nodiscard]] host_image job_image(read_pace pace);

[[nodiscard]] std::unique_ptr<byte_source> open_located(const input_location& input, read_pace pace);

// A data file's whole sectors, subheaders and all; null where the image
// keeps only their data, or for any other input.
[[nodiscard]] std::unique_ptr<byte_source> open_located_sectors(const input_location& input, read_pace pace);
