# The emulated 32-bit host: an i386 Linux program, linked statically so that
# qemu-i386 runs it without 32-bit system libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# The plug-in calls the host's callbacks and the stand-ins with whatever stack
# alignment it has, as a 32-bit Windows program may: the host assumes 4 bytes.
set(CMAKE_C_FLAGS_INIT "-m32 -mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-m32 -mincoming-stack-boundary=2")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(TINTARA_HOST32 ON)
