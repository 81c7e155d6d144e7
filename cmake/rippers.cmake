# Warnings every target of the project is built with, clean under g++ and
# clang++. CI makes them errors in every build (it sets CI in the
# environment); elsewhere a newer compiler's new warning stops nobody.
set(RIPPERS_WARNINGS
  -Wall -Wextra -Wpedantic
  -Wconversion -Wsign-conversion -Wshadow -Wold-style-cast
  -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align -Wnull-dereference
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(DEFINED ENV{CI} AND NOT "$ENV{CI}" STREQUAL "" AND NOT "$ENV{CI}" STREQUAL "false")
  set(rippers_in_ci ON)
else()
  set(rippers_in_ci OFF)
endif()
option(RIPPERS_WARNINGS_AS_ERRORS "Make the project's warnings errors (on by default in CI)" ${rippers_in_ci})
if(RIPPERS_WARNINGS_AS_ERRORS)
  list(APPEND RIPPERS_WARNINGS -Werror)
endif()

function(rippers_warnings target)
  target_compile_options(${target} PRIVATE ${RIPPERS_WARNINGS})
endfunction()

set(RIPPERS_VENDOR "The cinerip and blockrip developers")

# One of the programs: its profile and input stage, as the library
# <name>_stage over the converter's core, and outside the browser its
# executable, main.cpp over that stage and the system layer.
#   rippers_program(<name> <description> <stage sources>...)
# On Linux a second build of it, linked statically, goes into the .tar.gz,
# which thus runs on any Linux of its CPU (<name>_portable, in bin/portable/).
# On Windows the .exe carries a version resource, which Explorer shows.
function(rippers_program name description)
  add_library(${name}_stage STATIC ${ARGN})
  target_include_directories(${name}_stage PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name}_stage PUBLIC converter_core)
  rippers_warnings(${name}_stage)
  # In the browser the page is the program, and it takes the stage alone.
  if(EMSCRIPTEN)
    return()
  endif()
  rippers_executable(${name} "${description}" ${name}_stage)
endfunction()

# A program's executable, main.cpp over `library` and the system layer, with
# its static Linux build and its Windows version resource as above.
#   rippers_executable(<name> <description> <library>)
function(rippers_executable name description library)
  add_executable(${name} main.cpp)
  target_link_libraries(${name} PRIVATE ${library} converter_system)
  rippers_warnings(${name})
  if(WIN32)
    set(RIPPERS_PROGRAM ${name})
    set(RIPPERS_PROGRAM_DESCRIPTION "${description}")
    configure_file(${PROJECT_SOURCE_DIR}/system/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc @ONLY)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
  endif()
  if(RIPPERS_PORTABLE_PROGRAMS AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
    add_executable(${name}_portable main.cpp)
    target_link_libraries(${name}_portable PRIVATE ${library} converter_system)
    target_link_options(${name}_portable PRIVATE -static)
    set_target_properties(${name}_portable PROPERTIES
      OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin/portable)
    rippers_warnings(${name}_portable)
  endif()
endfunction()
