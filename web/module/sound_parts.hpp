#pragma once

// The sound formats' files, a part (one WAV file) at a time:
// convert_first_part in module_api.hpp says what parts a file has.
#include "module_api.hpp"

#include "sort_disc_file.hpp"

[[nodiscard]] bool is_sound_format(converter_program program);

// The most bytes a part's WAV file can hold; for an empty part, any part's
// of the input.
[[nodiscard]] double sound_wav_bound(converter_program program, const input_location& input, const input_location& body,
                                     const output_part& part);

// Converts the request's part: a mono or stereo WAV file under the
// canonical header, with a "smpl" chunk where its sample loops. A failure
// prints the programs' message for it and keeps nothing.
[[nodiscard]] conversion_reply convert_sound(const conversion_request& request);
