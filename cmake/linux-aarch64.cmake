# The unit tests of the platform-independent plug-in built for aarch64 Linux, so
# that the NEON kernel is checked against the reference on the instructions it
# ships with. Linked statically; ctest runs them under qemu-aarch64. Built with
# the pinned Zig toolchain (clang, musl, libc++): Debian's g++-aarch64-linux-gnu
# cannot be installed beside g++-multilib, which the 32-bit host needs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-linux-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-linux-c++)
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "" FORCE)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Neoverse N1 is an ARMv8.2 core like those of Windows on Arm machines.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64;-cpu;neoverse-n1)
set(TINTARA_AARCH64_TESTS ON)
