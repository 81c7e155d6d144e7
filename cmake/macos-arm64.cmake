# macOS on Apple silicon (Mach-O arm64), built with Zig.
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(RIPPERS_ZIG_TARGET aarch64-macos)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
