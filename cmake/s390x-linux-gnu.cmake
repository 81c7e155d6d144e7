# Big-endian s390x Linux, built with Debian's g++-s390x-linux-gnu: nothing is
# shipped from it; its test run shows that no value depends on the host's
# byte order.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(RIPPERS_CROSS_TRIPLET s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
