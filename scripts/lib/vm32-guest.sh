#!/bin/bash
# Runs inside the emulated machine that scripts/lib/vm32.sh boots: serves the
# 32-bit Wine jobs that the host drops into a spool folder shared with the
# guest, one at a time, on one X display and one persistent Wine server, until
# the host asks it to stop. The guest's root is the machine-wide emulation
# root, read-only; /opt and /tmp carry writable layers in the guest's memory,
# so the kept prefix under /opt is used as it is and nothing written to it
# outlives the guest.
#
# Usage (inside the guest): vm32-guest.sh SPOOL PREFIX [make-prefix|probe]
#   make-prefix: create PREFIX first (wineboot), write the prefix settings the
#   project's runs need and write a tar of it onto the guest's disk (the host's
#   SPOOL/disk.img, SPOOL/prefix-written when done), for the host to keep; then
#   serve jobs as usual.
#   probe: only run SPOOL/compat32-check (does this guest run 32-bit code in a
#   64-bit process?), its output and status in SPOOL/probe, and power off.
#
# A job is a folder SPOOL/job.*/ holding `cwd`, `argv` and `env` (NUL-separated
# lists) and, written last, `submitted`. The guest writes `out` and `err`, then
# `status` (the exit status). SPOOL/cancel ends the running job (its Wine
# processes); SPOOL/stop ends the service. SPOOL/ready tells the host that jobs
# can be taken, SPOOL/failed that the service could not start.
set -u
spool=$1 prefix=$2 mode=${3:-}
wine=/usr/bin/wine
server=/usr/lib/x86_64-linux-gnu/wine/wineserver

say() { echo "vm32-guest: $*" >&2; }
give_up() {
  say "$*"
  echo "$*" >"$spool/failed"
  exit 1
}

if [ "$mode" = probe ]; then
  "$spool/compat32-check" >"$spool/probe.part" 2>&1
  echo "status=$?" >>"$spool/probe.part"
  mv "$spool/probe.part" "$spool/probe"
  exit 0
fi

# X and Wine's server keep sockets under /tmp, which is the host's shared
# folder here; sockets belong on the guest's own memory.
mkdir -p /tmp/.X11-unix "/tmp/.wine-$(id -u)" /run/xdg
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix || give_up "cannot mount /tmp/.X11-unix"
mount -t tmpfs -o mode=700 tmpfs "/tmp/.wine-$(id -u)" || give_up "cannot mount Wine's socket folder"
chmod 700 /run/xdg

export PATH=/usr/bin:/bin HOME=/root XDG_RUNTIME_DIR=/run/xdg WINEPREFIX=$prefix \
  WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>/run/display 2>/dev/null &
xvfb=$!
for _ in $(seq 1 600); do
  [ -s /run/display ] && break
  kill -0 $xvfb 2>/dev/null || break
  sleep 0.1
done
[ -s /run/display ] || give_up "Xvfb did not start in the guest"
export DISPLAY=":$(head -n1 /run/display)"

if [ "$mode" = make-prefix ]; then
  started=$(date +%s)
  mkdir -p "$prefix"
  "$wine" wineboot --init >/dev/null 2>&1 || give_up "wineboot could not make the prefix"
  # No window manager runs on the guest's display: Wine draws the frames itself.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
    give_up "could not write the prefix's window settings"
  # The dialog's face is not installed; the proportional IPAPGothic has widths
  # close to it (the fixed-width fallback cuts the labels off).
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f \
    >/dev/null 2>&1 || give_up "could not write the prefix's font mapping"
  cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null
  "$server" -w
  disk=$(ls /dev/sd? /dev/vd? 2>/dev/null | head -n1)
  [ -n "$disk" ] || give_up "no disk to hand the prefix out on"
  tar -C "$(dirname "$prefix")" -cf "$disk" "$(basename "$prefix")" && sync ||
    give_up "could not copy the prefix out"
  touch "$spool/prefix-written"
  say "prefix made in $(($(date +%s) - started)) s"
fi
[ -f "$prefix/system.reg" ] || give_up "no Wine prefix at $prefix"
"$server" -p || give_up "the Wine server did not start"

# run_job DIR: the job's program with the job's environment, in its folder.
run_job() {
  local dir=$1 cwd
  local -a argv=() envs=()
  cwd=$(cat "$dir/cwd")
  mapfile -d '' argv <"$dir/argv"
  mapfile -d '' envs <"$dir/env"
  (
    cd "$cwd" 2>/dev/null || {
      echo "vm32-guest: the job's folder $cwd is not shared with the guest" >&2
      exit 2
    }
    for e in "${envs[@]}"; do export "$e"; done
    exec "$wine" "${argv[@]}"
  ) >"$dir/out" 2>"$dir/err" </dev/null
}

touch "$spool/ready"
while [ ! -e "$spool/stop" ]; do
  job=""
  for d in "$spool"/job.*; do
    if [ -e "$d/submitted" ] && [ ! -e "$d/taken" ]; then
      job=$d
      break
    fi
  done
  if [ -z "$job" ]; then
    sleep 0.3
    continue
  fi
  touch "$job/taken"
  # A cancel meant for a job that has ended must not end this one.
  rm -f "$spool/cancel"
  run_job "$job" &
  pid=$!
  while kill -0 $pid 2>/dev/null; do
    if [ -e "$spool/cancel" ] || [ -e "$spool/stop" ]; then
      rm -f "$spool/cancel"
      "$server" -k 2>/dev/null
    fi
    sleep 0.2
  done
  wait $pid
  echo $? >"$job/status.part"
  mv "$job/status.part" "$job/status"
done
"$server" -k 2>/dev/null
timeout 20 "$server" -w 2>/dev/null
kill $xvfb 2>/dev/null
wait $xvfb 2>/dev/null
exit 0
