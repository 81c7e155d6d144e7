# Cross-compiles for another Linux CPU with Debian's cross compilers, and runs
# the results under qemu-user, which this machine needs even for the tests'
# children: it cannot start a foreign program by itself. Included by the
# toolchain files that name RIPPERS_CROSS_TRIPLET and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${RIPPERS_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${RIPPERS_CROSS_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${RIPPERS_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR};-L;/usr/${RIPPERS_CROSS_TRIPLET})
