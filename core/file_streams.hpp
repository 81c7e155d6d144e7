#pragma once

#include "streams.hpp"

#include <memory>
#include <string>

// Null when the path cannot be opened for reading; a directory cannot.
[[nodiscard]] std::unique_ptr<byte_source> open_input_file(const std::string& path);

// Creates or truncates `path` for writing. Null when that fails, and also when
// `path` reaches the input file itself through a link: creating it would
// destroy the input, so that is checked before anything is truncated.
[[nodiscard]] std::unique_ptr<byte_sink> create_output_file(const std::string& path, const std::string& input_path);

// Removes an incomplete output, if it is a regular file (a device such as
// /dev/full is left alone). Through a symbolic link the file written is the
// target, so that is what goes.
void discard_output_file(const std::string& path);
