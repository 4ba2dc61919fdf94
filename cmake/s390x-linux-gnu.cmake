# Cross-compiles for big-endian 64-bit s390x Linux with Debian's cross compiler (package
# g++-s390x-linux-gnu); programs run here under qemu-s390x (package qemu-user).
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(QORVELIX_CROSS_TRIPLET s390x-linux-gnu)
set(QORVELIX_CROSS_QEMU qemu-s390x)
set(QORVELIX_DEB_ARCHITECTURE s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
