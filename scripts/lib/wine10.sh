# Shared by scripts/setup-wine32, scripts/wine-run and scripts/wineserver: where
# the Debian sid root with Wine 10 lives, and how to run a command inside it.
#
# Wine 10 from Debian sid runs 32-bit Windows programs in its "new WoW64" mode,
# inside a 64-bit Linux process; it needs sid's C library, hence a root of its
# own. The root is machine-wide (outside any checkout), so every clone and CI run
# on a machine share it and a fresh machine makes it once.

wine10_root="${TINTARA_WINE10_ROOT:-/opt/tintara/sid-root}"
wine10_marker="$wine10_root/.tintara-ready"
wine10_wine=/usr/bin/wine
wine10_server=/usr/lib/x86_64-linux-gnu/wine/wineserver

wine10_ready() { [ -f "$wine10_marker" ]; }

# The parts of the host that must be visible inside the root at their own paths.
wine10_visible=()
wine10_show() { # wine10_show PATH: make PATH (a folder or a file's folder) visible
  local p="$1" d
  [ -e "$p" ] || return 0
  case "$p" in /*) ;; *) p="$PWD/$p" ;; esac
  if [ -d "$p" ]; then d=$(cd "$p" && pwd -P); else d=$(cd "$(dirname "$p")" && pwd -P); fi
  case "$d" in
  / | /usr | /usr/* | /etc | /etc/* | /bin | /bin/* | /lib* | /sbin* | /var | /var/* | /proc* | /sys* | /dev* | /opt/tintara*)
    return 0 ;;
  esac
  local v
  for v in "${wine10_visible[@]}"; do
    case "$d/" in "$v"/*) return 0 ;; esac
  done
  wine10_visible+=("$d")
}

# wine10_chroot ROOT MODE DIR... -- ARG...: runs `env -i ARG...` inside ROOT in
# a private mount namespace that holds /dev, /proc, /sys and each DIR at its own
# path; the mounts vanish with the namespace's last process. MODE "tmp" also
# shares /tmp (X sockets, Wine's server sockets); "self" first binds ROOT onto
# itself (virtiofsd shares only a mount point).
wine10_chroot() {
  local root=$1 mode=$2
  local -a dirs=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    dirs+=("$1")
    shift
  done
  shift
  unshare --mount --propagation private -- /bin/bash -c '
    set -e
    root=$1 mode=$2 count=$3
    shift 3
    if [ "$mode" = self ]; then mount --bind "$root" "$root"; fi
    mount --rbind /dev "$root/dev"
    mount --rbind /proc "$root/proc"
    mount --rbind /sys "$root/sys"
    if [ "$mode" = tmp ]; then mount --bind /tmp "$root/tmp"; fi
    while [ "$count" -gt 0 ]; do
      mkdir -p "$root$1"
      mount --bind "$1" "$root$1"
      shift
      count=$((count - 1))
    done
    exec chroot "$root" /usr/bin/env -i "$@"
  ' wine10 "$root" "$mode" "${#dirs[@]}" "${dirs[@]}" "$@"
}

# wine10_exec COMMAND...: runs COMMAND inside the Wine 10 root, with /tmp and
# every folder given to wine10_show. The environment is rebuilt from a short
# list, so the host's own variables (paths to its libraries) cannot reach sid's
# programs.
wine10_exec() {
  local envs=(PATH=/usr/bin:/bin HOME=/root "XDG_RUNTIME_DIR=$wine10_xdg")
  local name
  for name in DISPLAY WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LANG LC_ALL TZ QEMU_CPU \
    $(compgen -e | grep -E '^TINTARA_' || true); do
    [ -n "${!name+x}" ] && envs+=("$name=${!name}")
  done
  wine10_show "$PWD"
  wine10_chroot "$wine10_root" tmp "${wine10_visible[@]}" -- \
    "${envs[@]}" /bin/sh -c 'cd "$0" && exec "$@"' "$PWD" "$@"
}

wine10_xdg="/tmp/tintara-xdg-$(id -u)"
mkdir -p "$wine10_xdg" && chmod 700 "$wine10_xdg"
