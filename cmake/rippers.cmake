# Warnings every target of the project is built with, clean under g++ and clang++.
set(RIPPERS_WARNINGS
  -Wall -Wextra -Wpedantic
  -Wconversion -Wsign-conversion -Wshadow -Wold-style-cast
  -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align -Wnull-dereference
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

function(rippers_warnings target)
  target_compile_options(${target} PRIVATE ${RIPPERS_WARNINGS})
endfunction()
