# Cross-compiles for 32-bit x86 Linux with Debian's cross compiler (package
# g++-i686-linux-gnu); programs run here under qemu-i386 (package qemu-user).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QORVELIX_CROSS_TRIPLET i686-linux-gnu)
set(QORVELIX_CROSS_QEMU qemu-i386)
set(QORVELIX_DEB_ARCHITECTURE i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
