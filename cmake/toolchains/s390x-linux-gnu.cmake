# Cross build for Linux on s390x (Debian: g++-s390x-linux-gnu), run here
# under qemu-user (Debian: qemu-user), which CMake also uses as the emulator.
#   cmake -S . -B build-s390x-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/s390x-linux-gnu.cmake
set(cross_arch s390x)
set(cross_triplet s390x-linux-gnu)
set(cross_qemu qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
