# Shared by the stages that run both plug-in files under Wine: the 32-bit file in
# the 32-bit reference host (Wine 10, the shared 32-bit prefix build/wineprefix32),
# the 64-bit file in the 64-bit host (Wine 8, the prefix in WINEPREFIX). Each
# bitness gets an X display of its own, so that both batches can run at once
# without their dialogs sharing one pointer, one focus or one screen, and the runs
# of one bitness share one display and so one Wine server.
#
#   both_displays WORKDIR   start the two displays (files WORKDIR/display-32|64)
#   both_wine BITS PROGRAM [ARGS]
#                           scripts/wine-run on that bitness's display, bounded by
#                           BOTH_TIMEOUT seconds (default 300)
#   both_stop               let both Wine servers end (ending them after 30 s) and
#                           stop the displays; call it from the stage's EXIT trap
#   both_same WHAT FILE32 FILE64
#                           compare two files byte for byte, naming the first
#                           difference; prints nothing and succeeds when equal

both_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
declare -A both_display=() both_xvfb=()

both_displays() {
  local work=$1 bits _
  for bits in 32 64; do
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display-$bits" 2>/dev/null &
    both_xvfb[$bits]=$!
  done
  for bits in 32 64; do
    for _ in $(seq 1 200); do
      [ -s "$work/display-$bits" ] && break
      kill -0 "${both_xvfb[$bits]}" 2>/dev/null || break
      sleep 0.05
    done
    [ -s "$work/display-$bits" ] || {
      echo "FAIL: Xvfb for the $bits-bit runs did not start" >&2
      return 1
    }
    both_display[$bits]=":$(head -n1 "$work/display-$bits")"
  done
}

both_wine() {
  local bits=$1
  shift
  DISPLAY=${both_display[$bits]:?both_displays was not called} TINTARA_HOST_UNATTENDED=1 \
    timeout --kill-after=10 "${BOTH_TIMEOUT:-300}" "$both_root/scripts/wine-run" "$@"
}

both_stop() {
  local bits
  declare -A waits=()
  for bits in 32 64; do
    [ -n "${both_xvfb[$bits]:-}" ] || continue
    {
      timeout 30 "$both_root/scripts/wineserver" "$bits" -w 2>/dev/null ||
        "$both_root/scripts/wineserver" "$bits" -k 2>/dev/null
    } &
    waits[$bits]=$!
  done
  for bits in "${!waits[@]}"; do
    wait "${waits[$bits]}" 2>/dev/null
    kill "${both_xvfb[$bits]}" 2>/dev/null
    wait "${both_xvfb[$bits]}" 2>/dev/null
    both_xvfb[$bits]=
  done
  return 0
}

both_same() {
  local what=$1 a=$2 b=$3 diff
  if [ ! -f "$a" ] || [ ! -f "$b" ]; then
    echo "$what: $([ -f "$a" ] || echo "$a ")$([ -f "$b" ] || echo "$b ")missing"
    return 1
  fi
  diff=$(cmp "$a" "$b" 2>&1) || {
    echo "$what: the files differ ($diff)"
    return 1
  }
}
