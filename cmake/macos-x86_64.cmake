# macOS on Intel (Mach-O x86-64), built with Zig.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RIPPERS_ZIG_TARGET x86_64-macos)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
