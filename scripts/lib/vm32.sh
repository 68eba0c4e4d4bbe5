# The "vm" route of the 32-bit file (needs scripts/lib/wine10.sh sourced first): the sid root's Wine 10 inside a full-system
# emulated machine, for machines whose kernel refuses 32-bit code in a 64-bit
# process (Wine's WoW64 makes exactly that far jump, so there every 32-bit
# Windows program dies on its first instruction). Inside a guest kernel of our
# own the jump works.
#
# The emulation root is a copy of the sid root with virtme-ng, qemu, a Debian
# kernel, virtiofsd and Xvfb added (scripts/setup-vm32 makes it once per
# machine), together with a Wine prefix made inside a guest and kept in the root
# at /opt/tintara-prefix. A guest boots that root read-only over virtiofs (its
# /opt and /tmp get writable layers in the guest's memory, so every guest starts
# from the same kept prefix), shares the checkout and /tmp writable over 9p at
# their own paths, and runs scripts/lib/vm32-guest.sh, which serves jobs from a
# spool folder until it is told to stop.
#
#   vm32_ready                 is the emulated route set up on this machine?
#   vm32_start SPOOL [DIR...]  boot a guest that serves SPOOL, sharing the
#                              checkout, /tmp and each DIR writable
#   vm32_submit SPOOL CWD PROGRAM [ARGS]
#                              run one Wine job there and wait for it: its
#                              output and exit status are the job's
#   vm32_stop SPOOL            end the guest and every process it started
#   vm32_accel                 kvm or tcg: TINTARA_VM_ACCEL, else the accelerator
#                              recorded when the route was set up

vm32_root="${TINTARA_VM32_ROOT:-/opt/tintara/sid-vm-root}"
vm32_marker="$vm32_root/.tintara-ready"
vm32_prefix=/opt/tintara-prefix
vm32_checkout="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

vm32_ready() { [ -f "$vm32_marker" ] && [ -f "$vm32_root$vm32_prefix/system.reg" ]; }

vm32_kernel() { # the guest kernel, as a path inside the root
  local k
  k=$(ls "$vm32_root"/boot/vmlinuz-* 2>/dev/null | sort -V | tail -n1)
  [ -n "$k" ] && echo "${k#"$vm32_root"}"
}

vm32_accel() {
  case "${TINTARA_VM_ACCEL:-}" in
  kvm | tcg) echo "$TINTARA_VM_ACCEL" ;;
  *) cat "$vm32_root/.tintara-accel" 2>/dev/null || echo tcg ;;
  esac
}

# These functions are sourced by scripts that run with `set -e`: a command whose
# failure is expected (a kill of a process that has ended) must not end them.

# vm32_tree PID: PID and all its descendants, parents first.
vm32_tree() {
  local pid=$1 child
  echo "$pid"
  for child in $(ps -o pid= --ppid "$pid" 2>/dev/null); do vm32_tree "$child"; done
}

# vm32_kill PID: ends everything the launcher PID started, by process id: its
# process tree (the chroot, vng, qemu) and every process in the private mount
# namespace it made (virtiofsd leaves the tree), politely, then after 5 s for
# good.
vm32_kill() {
  local pid=$1 p ns own alive
  local -a tree=() all=()
  mapfile -t tree < <(vm32_tree "$pid")
  own=$(readlink /proc/self/ns/mnt)
  all=("${tree[@]}")
  for p in "${tree[@]}"; do
    ns=$(readlink "/proc/$p/ns/mnt" 2>/dev/null) || continue
    [ "$ns" = "$own" ] && continue
    for q in /proc/[0-9]*; do
      [ "$(readlink "$q/ns/mnt" 2>/dev/null)" = "$ns" ] && all+=("${q#/proc/}")
    done
    break
  done
  for p in "${all[@]}"; do kill "$p" 2>/dev/null || true; done
  for _ in $(seq 1 50); do
    alive=""
    for p in "${all[@]}"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ -z "$alive" ] && break
    sleep 0.1
  done
  for p in "${all[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  wait "$pid" 2>/dev/null || true
  return 0
}

# vm32_shares DIR...: the folders to share, each once, none inside another.
vm32_shares() {
  local d kept s inside
  local -a all=()
  for d in "$vm32_checkout" /tmp "$@"; do
    [ -d "$d" ] || continue
    all+=("$(cd "$d" && pwd -P)")
  done
  printf '%s\n' "${all[@]}" | sort -u | while read -r d; do
    inside=""
    for s in "${all[@]}"; do
      [ "$s" != "$d" ] && case "$d/" in "$s"/*) inside=1 ;; esac
    done
    case "$d" in / | /usr | /usr/* | /etc | /etc/* | /proc* | /sys* | /dev* | /opt/tintara*) inside=1 ;; esac
    [ -z "$inside" ] && echo "$d"
  done
}

# vm32_launch SPOOL MODE DIR...: boots the guest in the background (pid in
# SPOOL/launcher.pid, console output in SPOOL/console).
vm32_launch() {
  local spool=$1 mode=$2 kernel accel
  shift 2
  kernel=$(vm32_kernel) || {
    echo "vm32: no kernel in $vm32_root/boot" >&2
    return 1
  }
  accel=$(vm32_accel)
  local -a shares=() vng=()
  mapfile -t shares < <(vm32_shares "$spool" "$@")
  vng=(vng --run "$kernel" --cpus 2 --memory 4G --cwd /)
  [ "$accel" = kvm ] || vng+=(--disable-kvm)
  local s
  for s in "${shares[@]}"; do vng+=(--rwdir "$s"); done
  # A file to hand out in bulk (the prefix) goes through a raw disk: 9p is slow.
  [ -f "$spool/disk.img" ] && vng+=(--disk "$spool/disk.img")
  vng+=(--exec "$(printf '%q ' /bin/bash "$vm32_checkout/scripts/lib/vm32-guest.sh" "$spool" "$vm32_prefix" $mode)")
  # The root, bind-mounted onto itself, with the shared folders at their own
  # paths, in a private mount namespace that vanishes with the launcher. vng's
  # output goes through a pipe: qemu's two streams written straight to one file
  # overwrite each other.
  (
    wine10_chroot "$vm32_root" self "${shares[@]}" -- \
      PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb "${vng[@]}" </dev/null 2>&1 |
      cat >"$spool/console"
  ) &
  echo $! >"$spool/launcher.pid"
}

vm32_alive() { # vm32_alive SPOOL
  local pid
  pid=$(cat "$1/launcher.pid" 2>/dev/null) && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null
}

# vm32_start SPOOL [DIR...]: boots and waits (bounded) until the guest serves.
vm32_start() {
  local spool=$1
  shift
  vm32_ready || {
    echo "vm32: the emulated 32-bit route is not set up on this machine; run scripts/setup" >&2
    return 1
  }
  mkdir -p "$spool"
  vm32_launch "$spool" "" "$@" || return 1
  vm32_wait_ready "$spool" "${TINTARA_VM32_BOOT_TIMEOUT:-600}"
}

# vm32_wait_ready SPOOL SECONDS
vm32_wait_ready() {
  local spool=$1 limit=$2 started=$SECONDS
  while [ $((SECONDS - started)) -lt "$limit" ]; do
    [ -e "$spool/ready" ] && return 0
    if [ -e "$spool/failed" ] || ! vm32_alive "$spool"; then
      echo "vm32: the guest did not start: $(cat "$spool/failed" 2>/dev/null)" >&2
      tail -n 15 "$spool/console" >&2
      vm32_stop "$spool"
      return 1
    fi
    sleep 0.2
  done
  echo "vm32: the guest did not serve within $limit s" >&2
  tail -n 15 "$spool/console" >&2
  vm32_stop "$spool"
  return 1
}

# vm32_submit SPOOL CWD PROGRAM [ARGS]: the job's exit status, its output on
# stdout and stderr. Interrupted, it cancels the job in the guest.
vm32_submit() {
  local spool=$1 cwd=$2 job name status
  shift 2
  job=$(mktemp -d "$spool/job.XXXXXX") || return 2
  printf '%s' "$cwd" >"$job/cwd"
  printf '%s\0' "$@" >"$job/argv"
  {
    printf '%s\0' TINTARA_HOST_UNATTENDED=1
    for name in TZ WINEDEBUG WINEDLLOVERRIDES $(compgen -e | grep -E '^TINTARA_' || true); do
      [ "$name" = TINTARA_HOST_UNATTENDED ] && continue
      [ -n "${!name+x}" ] && printf '%s\0' "$name=${!name}"
    done
  } >"$job/env"
  touch "$job/submitted"
  trap 'touch "$spool/cancel"; exit 130' INT TERM
  local limit=${TINTARA_VM32_JOB_TIMEOUT:-3600} started=$SECONDS
  while [ ! -e "$job/status" ]; do
    if ! vm32_alive "$spool"; then
      echo "vm32: the guest ended before the job did" >&2
      return 2
    fi
    if [ $((SECONDS - started)) -ge "$limit" ]; then
      echo "vm32: the job took longer than $limit s; cancelled" >&2
      touch "$spool/cancel"
      return 124
    fi
    sleep 0.2
  done
  trap - INT TERM
  cat "$job/out"
  cat "$job/err" >&2
  status=$(cat "$job/status")
  rm -rf "$job"
  return "$status"
}

# vm32_stop SPOOL: asks the guest to power off, waits for it (bounded), then
# ends whatever is left by process id and removes the spool.
vm32_stop() {
  local spool=$1 pid
  [ -d "$spool" ] || return 0
  pid=$(cat "$spool/launcher.pid" 2>/dev/null)
  touch "$spool/stop"
  if [ -n "$pid" ]; then
    for _ in $(seq 1 300); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    vm32_kill "$pid"
  fi
  rm -rf "$spool"
  return 0
}
