# Cross build for Linux on aarch64 (Debian: g++-aarch64-linux-gnu), run here
# under qemu-user (Debian: qemu-user), which CMake also uses as the emulator.
#   cmake -S . -B build-aarch64-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
set(cross_arch aarch64)
set(cross_triplet aarch64-linux-gnu)
set(cross_qemu qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
