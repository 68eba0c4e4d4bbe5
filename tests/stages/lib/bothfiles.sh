# Shared by the stages that run both plug-in files under Wine: the 32-bit file in
# the 32-bit reference host (Wine 10, the shared 32-bit prefix build/wineprefix32),
# the 64-bit file in the 64-bit host (Wine 8, the prefix in WINEPREFIX). Each
# bitness gets an X display of its own, so that both batches can run at once
# without their dialogs sharing one pointer, one focus or one screen, and the runs
# of one bitness share one display and so one Wine server.
#
#   both_displays WORKDIR   start the two displays (files WORKDIR/display-32|64);
#                           on the vm route also the stage's emulated machine
#                           for the 32-bit jobs (tests/stages/lib/route32.sh)
#   both_wine BITS PROGRAM [ARGS]
#                           scripts/wine-run on that bitness's display, bounded by
#                           BOTH_TIMEOUT seconds (default 300)
#   both_stop               end both prefixes' Wine servers and what still runs in
#                           them (the stage's runs are over by then; otherwise the
#                           prefix's services linger for seconds), wait for them
#                           (bounded) and stop the displays; call it from the
#                           stage's EXIT trap
#   both_same WHAT FILE32 FILE64
#                           compare two files byte for byte, naming the first
#                           difference; prints nothing and succeeds when equal
#   both_alike BITS FILE    print a trace, summary or message file with what
#                           legitimately differs between the bitnesses made alike
#   both_same_alike WHAT FILE32 FILE64
#                           compare two such files once made alike, printing the
#                           first differences

both_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
source "$both_root/tests/stages/lib/route32.sh"
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
  route32_begin "$work"
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
      "$both_root/scripts/wineserver" "$bits" -k 2>/dev/null
      timeout 30 "$both_root/scripts/wineserver" "$bits" -w 2>/dev/null
    } &
    waits[$bits]=$!
  done
  # Stages run with set -e: a failing wait or kill must not end this early.
  for bits in "${!waits[@]}"; do
    wait "${waits[$bits]}" 2>/dev/null || true
    kill "${both_xvfb[$bits]}" 2>/dev/null || true
    wait "${both_xvfb[$bits]}" 2>/dev/null || true
    both_xvfb[$bits]=
  done
  route32_end
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

# What legitimately differs between the two bitnesses' traces and messages: the
# folders (win32/ and win64/, a stage's 32/ and 64/), the key of the entry name in
# the property list ('wx86' or '8664'), a host's refusal of the other bitness's
# file, the times taken, a fault's addresses, the dialog's window rectangle (Wine
# 10 and Wine 8 draw the frame differently) and the size of Tintara's globals
# block (two pointers and a rectangle: 16 or 24 bytes, the first handle it asks
# for). How often the window system has a dialog repainted varies from run to run
# (a second paint before the dialog is found, now and then): the test filter's
# paint count is left out and a repeated identical preview drawing counts once.
both_alike() { # both_alike BITS FILE
  local globals=$(($1 == 32 ? 16 : 24)) tintara=()
  head -n1 "$2" | grep -q '^pipl .* name="Tintara" ' &&
    tintara=(-e "0,/^newHandle size=$globals /s//newHandle size=GLOBALS /")
  sed -E -e 's#build/win(32|64)/#build/winNN/#g; s#/(32|64)/#/NN/#g' \
    -e 's#\\build\\win(32|64)\\#\\build\\winNN\\#g' \
    -e 's/8664="([^"]*)" wx86=""/entry="\1"/; s/8664="" wx86="([^"]*)"/entry="\1"/' \
    -e '/-bit hosts \(it is a [0-9]+-bit plug-in/d' \
    -e 's/ time=[0-9.]+s / /; s/ after=[0-9]+ms$//; s/(unanswered (for|after)) [0-9]+ ms/\1 N ms/' \
    -e 's/^(dialog appeared .*) rect=[0-9,-]+/\1/' \
    -e 's/at [0-9a-f]{8,16} in/at ADDRESS in/; s/reading address [0-9a-f]{8,16}/reading address ADDRESS/' \
    -e "/'pnts' 'long' [0-9]+\$/d" "${tintara[@]}" "$2" |
    awk '!(/^displayPixels / && $0 == last) { print } { last = $0 }'
}

both_same_alike() {
  local what=$1 diff
  diff=$(diff <(both_alike 32 "$2") <(both_alike 64 "$3")) || {
    echo "$what differs between the bitnesses:"
    echo "$diff" | head -n 8 | sed 's/^/  /'
    return 1
  }
}
