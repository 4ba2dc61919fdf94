# Cross-compiles for 64-bit ARM Linux with Debian's cross compiler (package
# g++-aarch64-linux-gnu); programs run here under qemu-aarch64 (package qemu-user).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(QORVELIX_CROSS_TRIPLET aarch64-linux-gnu)
set(QORVELIX_CROSS_QEMU qemu-aarch64)
set(QORVELIX_DEB_ARCHITECTURE arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
