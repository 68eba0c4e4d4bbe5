# Cross build for 32-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The stack realignment of 32-bit code is set on the plug-in's targets
# (cmake/WindowsCode.cmake), so that every toolchain file gets it.
