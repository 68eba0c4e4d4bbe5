# Shared by scripts/setup-arm64, scripts/wine-run and the ARM64 unit-test
# runner: where the arm64 Debian root with Wine for ARM64 lives, the emulator
# that runs its programs, and how that emulator is registered with the kernel.
#
# The root holds Debian's arm64 Wine, whose DLLs are real aarch64 Windows
# libraries, so an ARM64 plug-in runs there as it would on Windows on Arm.
# Every aarch64 Linux program in it runs under a static qemu-aarch64, which the
# kernel starts through a binfmt_misc entry of the project's own that matches
# aarch64 ELF files only. Like the sid root, it is machine-wide and made once.

arm64_root="${TINTARA_ARM64_ROOT:-/opt/tintara/arm64-root}"
arm64_marker="$arm64_root/.tintara-ready"
arm64_qemu_home=/opt/tintara/qemu-user-static
arm64_qemu="$arm64_qemu_home/usr/bin/qemu-aarch64-static"
arm64_binfmt_name=tintara-aarch64
arm64_binfmt=/proc/sys/fs/binfmt_misc
arm64_wine=/usr/bin/wine
arm64_server=/usr/lib/wine/wineserver

# The processor that qemu-aarch64 shows, passed as QEMU_CPU to what runs in the
# root. qemu's default processor enforces branch-target identification; Debian's
# ntdll.so is marked for it, but its system-call dispatchers have no landing
# pads, so Windows processes would spin on illegal-instruction exceptions.
# Neoverse N1 has no BTI.
arm64_cpu=neoverse-n1

arm64_ready() { [ -f "$arm64_marker" ] && arm64_binfmt_ready; }

arm64_binfmt_ready() {
  [ -f "$arm64_binfmt/$arm64_binfmt_name" ] &&
    grep -qx enabled "$arm64_binfmt/$arm64_binfmt_name" &&
    grep -qx "interpreter $arm64_qemu" "$arm64_binfmt/$arm64_binfmt_name"
}

# Registers the emulator for aarch64 ELF executables (e_machine 0xb7, ELF64,
# little-endian, ET_EXEC or ET_DYN). Flags: O passes the open file (so programs
# that are readable only run too), P keeps argv[0], F opens the emulator now so
# that it is found inside chroots. Does nothing when the entry is present.
arm64_binfmt_register() {
  arm64_binfmt_ready && return 0
  if [ ! -f "$arm64_binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$arm64_binfmt" || return 1
  fi
  if [ -f "$arm64_binfmt/$arm64_binfmt_name" ]; then
    echo -1 >"$arm64_binfmt/$arm64_binfmt_name" || return 1
  fi
  local magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
  local mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':%s:M::%s:%s:%s:OPF\n' "$arm64_binfmt_name" "$magic" "$mask" "$arm64_qemu" \
    >"$arm64_binfmt/register"
}
