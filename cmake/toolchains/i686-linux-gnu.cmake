# Cross build for Linux on i686 (Debian: g++-i686-linux-gnu), run here
# under qemu-user (Debian: qemu-user), which CMake also uses as the emulator.
#   cmake -S . -B build-i686-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/i686-linux-gnu.cmake
set(cross_arch i686)
set(cross_triplet i686-linux-gnu)
set(cross_qemu qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
