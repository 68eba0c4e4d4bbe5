# The route that the 32-bit plug-in file takes on this machine. Shared by the
# set-up, scripts/wine-run, scripts/wineserver and the stages.
#
#   native  Wine 10's WoW64 in the sid root runs 32-bit code inside a 64-bit
#           Linux process (scripts/lib/wine10.sh); needs a kernel that allows a
#           64-bit process to far-jump into a 32-bit code segment.
#   vm      the same Wine 10 inside a full-system emulated machine whose own
#           kernel allows it (scripts/lib/vm32.sh), for kernels that refuse it.
#
# The set-up measures the machine with tools/compat32-check and records the
# result machine-wide next to the sid root; TINTARA_WINE32_ROUTE=native|vm
# overrides it (e.g. to develop the vm route on a machine that allows 32-bit
# code). wine32_route prints "none" when the chosen route is not set up.

wine32_route_file="$(dirname "${TINTARA_WINE10_ROOT:-/opt/tintara/sid-root}")/wine32-route"

wine32_recorded() { cat "$wine32_route_file" 2>/dev/null; }

wine32_wanted() { # the route asked for: the override, else the recorded one
  case "${TINTARA_WINE32_ROUTE:-}" in
  native | vm) echo "$TINTARA_WINE32_ROUTE" ;;
  "") wine32_recorded ;;
  *) echo "invalid" ;;
  esac
}

wine32_route() { # prints native, vm or none
  case "$(wine32_wanted)" in
  native) wine10_ready && echo native || echo none ;;
  vm) vm32_ready && echo vm || echo none ;;
  *) echo none ;;
  esac
}

wine32_why_none() { # one line: why no route runs the 32-bit file
  local wanted
  wanted=$(wine32_wanted)
  case "$wanted" in
  native) echo "the Wine 10 root for the native 32-bit route is not set up; run scripts/setup" ;;
  vm) echo "the emulated machine for the vm 32-bit route is not set up (this machine's kernel refuses 32-bit code in a 64-bit process, or TINTARA_WINE32_ROUTE=vm asks for it); run scripts/setup" ;;
  invalid) echo "TINTARA_WINE32_ROUTE must be native or vm, not '${TINTARA_WINE32_ROUTE}'" ;;
  *) echo "no route for the 32-bit file is recorded on this machine; run scripts/setup" ;;
  esac
}
