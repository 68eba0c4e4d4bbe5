# Cross build for ARM64 Windows (Windows on Arm) with the pinned Zig toolchain
# (scripts/setup-zig): clang with the mingw-w64 runtime, libc++ and libunwind.
# The wrappers in cmake/zig/ fix what zig's own link gets wrong and compile the
# resources with GNU windres and llvm-cvtres.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-windows-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-windows-c++)
set(CMAKE_RC_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-windres)
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "" FORCE)
# UTF-8 resource sources, stored as UTF-16 in the resources.
set(CMAKE_RC_FLAGS "-c 65001" CACHE STRING "" FORCE)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(TINTARA_ZIG ON)
# zlib for the reference host, built from Debian's source that scripts/setup-zig
# unpacks (the same version as the mingw-w64 zlib of the x86 builds).
if(DEFINED ENV{TINTARA_ZLIB_SRC})
  set(TINTARA_ZLIB_SOURCE $ENV{TINTARA_ZLIB_SRC})
else()
  set(TINTARA_ZLIB_SOURCE /opt/tintara/zlib-1.2.13.dfsg-1)
endif()
