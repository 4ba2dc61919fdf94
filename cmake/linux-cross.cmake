# Shared by the Linux cross toolchains. The file that includes this one sets
#   QORVELIX_CROSS_TRIPLET       the Debian cross compiler's triplet, whose
#                                g++ is in package g++-<triplet, _ as ->
#   QORVELIX_CROSS_QEMU          the qemu-user program for that architecture
#   QORVELIX_DEB_ARCHITECTURE    the architecture a Debian package names
# The programs built run here under qemu-user with the cross compiler's own
# libraries, so tests and the example tones work as in a native build.
set(CMAKE_SYSTEM_NAME Linux)

find_program(CMAKE_CXX_COMPILER NAMES ${QORVELIX_CROSS_TRIPLET}-g++ REQUIRED)
# GoogleTest's project also enables C.
find_program(CMAKE_C_COMPILER NAMES ${QORVELIX_CROSS_TRIPLET}-gcc REQUIRED)
find_program(QORVELIX_CROSS_EMULATOR NAMES ${QORVELIX_CROSS_QEMU} REQUIRED)
set(QORVELIX_CROSS_SYSROOT /usr/${QORVELIX_CROSS_TRIPLET})
set(CMAKE_CROSSCOMPILING_EMULATOR ${QORVELIX_CROSS_EMULATOR} -L ${QORVELIX_CROSS_SYSROOT})

set(CMAKE_FIND_ROOT_PATH ${QORVELIX_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
