#!/usr/bin/env bash
# The parameter dialog in a real host process, for both plug-in files: the
# reference host of the file's bitness (the 32-bit one under Wine 10, the 64-bit
# one under Wine 8, each on its own Xvfb, Japanese locale) runs the plug-in's
# dialog through its dialog automation, with real window messages and the real
# cursor. One Wine process per file runs every job of the batch;
# 60-dialog-check.py then checks, for each file, what the host received
# (advanceState rectangles and rates, displayPixels calls, colour picker calls),
# what the dialog showed after each step, the parameter record left behind and
# the filtered pixels, and that both files gave the same results, records, images
# and preview calls. Wine 8 and Wine 10 draw the dialog's frame differently, so
# the dialog pictures are compared only within one Wine: the main job runs a
# third time, the 64-bit file in Wine 10, and its pictures must equal the 32-bit
# file's. Also checks that MossbracketProc is exported undecorated.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
for target in win32 win64; do
  if [ ! -f "build/$target/tintara-host.exe" ] || [ ! -f "build/$target/Tintara.8bf" ]; then
    echo "60-dialog: build the win32 and win64 presets first (scripts/build)" >&2
    exit 1
  fi
done

fail=0
for target in win32 win64; do
  names=$(x86_64-w64-mingw32-objdump -p "build/$target/Tintara.8bf" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' ')
  if [ "$names" != "ENTRYPOINT MossbracketProc " ]; then
    echo "60-dialog: $target exports '$names', expected 'ENTRYPOINT MossbracketProc'" >&2
    fail=1
  fi
done

work=$root/build/dialog-test
rm -rf "$work"
source tests/stages/lib/route32.sh
trap route32_end EXIT
route32_begin "$work" || exit 1

# batch DIR PLUGIN: the jobs below go to DIR/batch.txt, with their traces, records,
# images and pictures in DIR.
batch() {
  dir=$1 plugin=$2 shots=$1/shots
  mkdir -p "$shots"
  : >"$dir/batch.txt"
}

job() { # label, then host options; the plug-in and the per-job files come first
  local label=$1
  shift
  printf '%s --label %s --quiet --trace %s/%s.trace --state %s/%s.state %s\n' \
    "$plugin" "$label" "$dir" "$label" "$dir" "$label" "$*" >>"$dir/batch.txt"
}

# Tone fields, channels, swatch, picker, pans at the limits and corners, zoom, drag,
# double click; OK filters the whole image.
main_job() {
  local main_script="shot=$shots/opening.png;check=r;swatch;swatch;r=25;focus=r;type=3;type=3"
  main_script+=";key=up;key=down;key=down;key=up;key=wheeldown;key=wheelup"
  main_script+=";type=r;type=g;type=b;type=R;focus=b;key=end;key=left;type=f;type=j"
  main_script+=";type=h;type=-;type= ;type=[;focus=r;paste=999;focus=g;key=end;type=j;pick"
  main_script+=";pan=D;pan=D;pan=D;pan=D;pan=D;pan=D;pan=D;pan=D;pan=D;pan=E"
  main_script+=";pan=E;pan=E;pan=E;pan=E;pan=E;pan=Q;focus=g;type=z;type=d"
  main_script+=";zoom=out;shot=$shots/zoomed.png;zoom=out;zoom=in;drag=-40,0;dblclick"
  main_script+=";check=rb;shot=$shots/toned.png;ok"
  job main "--fore 10,200,255 --pick 30,60,90 --before $dir/main-before.ppm --out $dir/main-after.ppm --dialog \"$main_script\""
}

all_jobs() {
  main_job

  # A second opening in the same process: the stored tone is shown, the proxy starts
  # centred and the first pan moves 50 pixels from the centre.
  job reopen "--runs 2 --no-descriptor --fore 10,200,255 --dialog \"r=7;pan=A;ok\""

  # The 1000 x 1000 image: reduce twice (disabled on reaching factor 3), a drag at
  # factor 3, enlarge again; Cancel keeps the tone and channels and gives filterRect back.
  job zoom "--sample 1000x1000 --expect-result -128 --dialog \"zoom=out;zoom=out;drag=10,0;zoom=in;r=9;check=g;cancel\""

  # Reducing to the limit moves the focus to the enlarge button; Enter then still
  # means OK (the default button stays OK) and the image is filtered.
  job zoomenter "--sample 1000x1000 --fore 0,0,0 --before $dir/zoomenter-before.ppm --out $dir/zoomenter-after.ppm --dialog \"r=40;check=gb;zoom=out;zoom=out;key=enter\""

  # The host's advanceState fails at the opening: no preview, OK still filters.
  job noproxy "--fail-advance-state 1 --before $dir/noproxy-before.ppm --out $dir/noproxy-after.ppm --dialog \"r=100;g=0;b=0;check=r;pan=D;ok\""

  # No advanceState and no colour services: the controls that need them do nothing.
  job bare "--no-advance-state --no-color-services --dialog \"pan=D;zoom=out;pick;focus=r;type=d;type=q;drag=20,20;dblclick;r=50;check=rb;ok\""

  # The dialog ends while the button is held on the preview.
  job holdenter "--dialog \"hold=30,0;key=enter\""
  job holdescape "--expect-result -128 --dialog \"hold=0,30;key=escape\""

  # A layer with transparency: the preview is drawn with the transparency as its mask.
  job alpha "--sample-alpha --dialog \"check=g;ok\""
}

for bits in 32 64; do
  batch "$work/win$bits" "$root/build/win$bits/Tintara.8bf"
  all_jobs
done
# The 64-bit file in Wine 10: only the main job, for its pictures.
batch "$work/win64-wine10" "$root/build/win64/Tintara.8bf"
main_job

# run DIR BITS [TINTARA_WINE]: one Wine process runs DIR's batch in the host of
# that bitness; a failure is noted in DIR/host.fail.
run() {
  local dir=$1 bits=$2 status
  TINTARA_WINE=${3:-} timeout 900 scripts/wine-run "build/win$bits/tintara-host.exe" \
    --batch "$dir/batch.txt" >"$dir/host.out" 2>"$dir/host.err"
  status=$?
  if [ $status -ge 124 ]; then # timed out: end what is left of this run's Wine
    TINTARA_WINE=${3:-} scripts/wineserver "$bits" -k 2>/dev/null
  fi
  if [ $status -ne 0 ]; then
    echo "60-dialog: the host batch in $dir ended with status $status" >"$dir/host.fail"
  fi
}
wine10_lane() {
  run "$work/win32" 32
  run "$work/win64-wine10" 64 10
}
wine8_lane() { run "$work/win64" 64; }
if [ -z "${DISPLAY:-}" ]; then
  # Each scripts/wine-run starts its own Xvfb, so the two Wines (separate
  # prefixes and wineservers) run side by side without sharing a cursor.
  wine10_lane &
  lane=$!
  wine8_lane
  wait $lane
else
  wine10_lane
  wine8_lane
fi
for dir in "$work/win32" "$work/win64" "$work/win64-wine10"; do
  echo "== ${dir#"$root"/}"
  grep -v -e '^wine: ' -e 'X connection' "$dir/host.err" >&2
  cat "$dir/host.out"
  if [ -f "$dir/host.fail" ]; then
    cat "$dir/host.fail" >&2
    fail=1
  fi
done
/usr/bin/python3 tests/stages/60-dialog-check.py "$work/win32" "$work/win64" "$work/win64-wine10" || fail=1
exit $fail
