# What the tests and benchmarks need. The programs themselves need nothing
# beyond the compiler, so a missing package only leaves out what needs it,
# with one line saying so; RIPPERS_REQUIRE_TESTS turns a missing GoogleTest
# into an error, so that a test run can never pass by having no tests.
if(RIPPERS_BUILD_TESTS)
  if(RIPPERS_GTEST_SOURCE_DIR)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    # Its own build defines GTest::gtest and GTest::gtest_main. Built as
    # it is, without our link-time optimisation.
    block()
      set(CMAKE_POLICY_DEFAULT_CMP0069 NEW)
      set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE OFF)
      add_subdirectory(${RIPPERS_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endblock()
  elseif(RIPPERS_REQUIRE_TESTS)
    find_package(GTest)
    if(NOT GTest_FOUND)
      message(FATAL_ERROR "GoogleTest is needed for the tests: install libgtest-dev "
                          "(or set RIPPERS_GTEST_SOURCE_DIR to its sources).")
    endif()
  else()
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
      message(STATUS "GoogleTest not found (libgtest-dev): the tests are left out")
      set(RIPPERS_BUILD_TESTS OFF)
    endif()
  endif()
endif()

# The manual pages' test renders them with the build machine's man; a Windows
# build has no manual pages.
if(RIPPERS_BUILD_TESTS AND NOT WIN32)
  find_program(RIPPERS_MAN man)
  if(NOT RIPPERS_MAN AND RIPPERS_REQUIRE_TESTS)
    message(FATAL_ERROR "man is needed for the manual pages' test: install man-db.")
  elseif(NOT RIPPERS_MAN)
    message(STATUS "man not found (man-db): the manual pages' test is left out")
  endif()
endif()

# The page's logic that needs no browser runs under node's test runner, in
# every native build's tests.
if(RIPPERS_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  find_program(RIPPERS_NODE node)
  if(NOT RIPPERS_NODE AND RIPPERS_REQUIRE_TESTS)
    message(FATAL_ERROR "node is needed for the page's logic tests: install nodejs.")
  elseif(NOT RIPPERS_NODE)
    message(STATUS "node not found (nodejs): the page's logic tests are left out")
  endif()
endif()

# Debian's tools for disc images, which the project's own images and reader
# are checked against where they are installed (CI installs them).
if(RIPPERS_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  find_program(RIPPERS_GENISOIMAGE genisoimage)
  find_program(RIPPERS_ISOINFO isoinfo)
  find_program(RIPPERS_XORRISO xorriso)
  find_program(RIPPERS_BCHUNK bchunk)
  if(NOT RIPPERS_GENISOIMAGE OR NOT RIPPERS_ISOINFO OR NOT RIPPERS_XORRISO OR NOT RIPPERS_BCHUNK)
    message(STATUS "genisoimage, xorriso or bchunk not found: the check of the disc images against them is left out")
  endif()
  # Debian's ffmpeg reads XA audio sectors: the XA decoder is checked against
  # it where ffmpeg follows the hardware.
  find_program(RIPPERS_FFMPEG ffmpeg)
  if(NOT RIPPERS_FFMPEG)
    message(STATUS "ffmpeg not found: the check of the XA decoder against it is left out")
  endif()
endif()

# Under qemu-user the static programs' test runs them alone in a directory
# tree, and takes a static emulator into it.
if(RIPPERS_BUILD_TESTS AND RIPPERS_PORTABLE_PROGRAMS AND CMAKE_SYSTEM_NAME STREQUAL "Linux"
   AND CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 emulator)
  find_program(RIPPERS_STATIC_EMULATOR ${emulator}-static)
  if(NOT RIPPERS_STATIC_EMULATOR AND RIPPERS_REQUIRE_TESTS)
    message(FATAL_ERROR "${emulator}-static is needed for the static programs' test: install qemu-user-static.")
  elseif(NOT RIPPERS_STATIC_EMULATOR)
    message(STATUS "${emulator}-static not found (qemu-user-static): the static programs' test is left out")
  endif()
endif()

if(RIPPERS_BUILD_BENCH)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found (libbenchmark-dev): the benchmarks are left out")
    set(RIPPERS_BUILD_BENCH OFF)
  endif()
endif()

if(RIPPERS_BUILD_FUZZ AND NOT RIPPERS_LIBFUZZER)
  message(STATUS "libFuzzer not used (the fuzz preset, with clang++, builds it): "
                 "the fuzz targets only replay their corpus")
endif()
