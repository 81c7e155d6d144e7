# Checks that each of PROGRAMS is a 64-bit Mach-O executable for CPU (arm64
# or x86_64): the programs built for macOS cannot be run here.
#   cmake -DCPU=arm64 "-DPROGRAMS=a;b" -P check_macho.cmake
set(cpu_types_arm64 0c000001)  # CPU_TYPE_ARM64, little-endian
set(cpu_types_x86_64 07000001) # CPU_TYPE_X86_64
foreach(program IN LISTS PROGRAMS)
  file(READ ${program} header OFFSET 0 LIMIT 16 HEX)
  string(SUBSTRING "${header}" 0 8 magic)
  string(SUBSTRING "${header}" 8 8 cpu)
  string(SUBSTRING "${header}" 24 8 type)
  if(NOT magic STREQUAL "cffaedfe" OR NOT cpu STREQUAL "${cpu_types_${CPU}}" OR NOT type STREQUAL "02000000")
    message(FATAL_ERROR "${program} is not a Mach-O executable for ${CPU} (header ${header})")
  endif()
  message(STATUS "${program}: Mach-O executable for ${CPU}")
endforeach()
