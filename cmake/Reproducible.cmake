# Byte-identical builds of the same sources wherever and whenever they are built:
# no source or build folder in the objects (file names from __FILE__ and debug
# information are written relative to the tree), and no link time stamp in the
# Windows image headers.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
# (The Zig toolchain's link wrapper writes time stamp 0 itself.)
if(WIN32 AND NOT TINTARA_ZIG)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
