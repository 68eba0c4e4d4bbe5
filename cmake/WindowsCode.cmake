# Code generation of the plug-in's own code in the Windows builds, whatever
# toolchain file made the build: set on a target's compile options as PUBLIC, so
# that everything built from the engine (the plug-in, the Windows kernel
# benchmark) gets the same code.
#
# 32-bit: GCC's i686 code assumes that every call arrives with the stack aligned
# to 16 bytes and keeps SSE constants in stack slots read by instructions that
# fault on a misaligned address. 32-bit Windows promises only 4 bytes: hosts built
# with other compilers, and Windows itself when it calls a dialog or window
# procedure, call in with whatever alignment they have. With an incoming boundary
# of 4 bytes GCC realigns the stack in the prologue of each function that needs
# more (16 bytes, or 32 for AVX2 values), so ENTRYPOINT, the dialog and window
# procedures, DllMain and every callback work on any stack. The loops themselves
# are unchanged; only those prologues grow. TINTARA_ASSUME_ALIGNED_STACK builds
# the file without this, for the test that shows the fault it prevents.
#
# Both: the assembler writes every aligned vector move (movdqa, movaps, vmovdqa
# and the like) as its unaligned twin, which is as fast on aligned data. 64-bit
# Windows code cannot realign the stack, and GCC may place 256-bit values in
# stack slots that are only 16-byte aligned; this keeps a move of such a slot from
# faulting even where the compiler assumed more. The built-file verifier refuses
# a file in which an aligned ymm move with a memory operand is left.
option(TINTARA_ASSUME_ALIGNED_STACK "32-bit Windows: assume a 16-byte aligned stack on entry (unsafe in hosts)" OFF)

function(tintara_windows_code target)
  if(NOT WIN32)
    return()
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT TINTARA_ASSUME_ALIGNED_STACK)
    target_compile_options(${target} PUBLIC -mincoming-stack-boundary=2)
  endif()
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM64")
    target_compile_options(${target} PUBLIC -Wa,-muse-unaligned-vector-move)
  endif()
endfunction()
