#pragma once

#include <string>
#include <string_view>

// Windows names files and hands over its command line in UTF-16, and the run
// works in 8-bit strings. The conversions go through WTF-8, UTF-8's extension
// to unpaired surrogates, because Windows allows those in file names: a name
// must come back to the system exactly as it came from it.
[[nodiscard]] std::string wtf8_from_utf16(std::u16string_view text);
[[nodiscard]] std::u16string utf16_from_wtf8(std::string_view text);

// The extended-length form of a full Windows path ("C:\dir\file" or
// "\\server\share\file"), which lifts the 260-character limit on paths. A
// path already in a "\\?\" or "\\.\" form is returned as it is.
[[nodiscard]] std::u16string extended_length_path(std::u16string_view full_path);
