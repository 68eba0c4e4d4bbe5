# The unit tests of the platform-independent plug-in built for aarch64 Linux, so
# that the NEON kernel is checked against the reference on the instructions it
# ships with. Linked statically; ctest runs them under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Neoverse N1 is an ARMv8.2 core like those of Windows on Arm machines.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64;-cpu;neoverse-n1)
set(TINTARA_AARCH64_TESTS ON)
