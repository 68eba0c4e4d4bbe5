# Cross build for 32-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# GCC's i686 code assumes that every call arrives with the stack aligned to 16
# bytes and keeps SSE constants in stack slots read by instructions that fault on
# a misaligned address. 32-bit Windows promises only 4 bytes: hosts built with
# other compilers, and Windows itself when it calls a dialog or window procedure,
# call in with whatever alignment they have. With an incoming boundary of 4 bytes
# GCC realigns the stack in the prologue of each function that needs more, so
# ENTRYPOINT, the dialog and window procedures, DllMain and every callback work
# on any stack. The loops themselves are unchanged; only those prologues grow.
# TINTARA_ASSUME_ALIGNED_STACK builds the file without this, for the test that
# shows the fault it prevents. The flag is a compile option rather than an initial
# flags value, so that changing the option in an existing build folder takes effect.
option(TINTARA_ASSUME_ALIGNED_STACK "Assume a 16-byte aligned stack on entry (unsafe in hosts)" OFF)
if(NOT TINTARA_ASSUME_ALIGNED_STACK)
  add_compile_options(-mincoming-stack-boundary=2)
endif()
