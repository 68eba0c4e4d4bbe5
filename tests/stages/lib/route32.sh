# Shared by the stages that run the 32-bit file under Wine: the route that it
# takes on this machine (scripts/lib/wine32-route.sh) and, on the "vm" route,
# one emulated machine for the whole stage, never one per job.
#
#   route32_begin WORKDIR  say which route the stage's 32-bit jobs take; on the
#                          vm route boot the stage's guest (spool in
#                          WORKDIR/vm32) and export TINTARA_VM32_SPOOL, so that
#                          every scripts/wine-run of the stage, including those
#                          of the programs it calls, hands its 32-bit jobs to
#                          that guest
#   route32_end            end the guest and everything it started (by process
#                          id); safe to call twice; call it from the EXIT trap

route32_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
source "$route32_root/scripts/lib/wine10.sh"
source "$route32_root/scripts/lib/vm32.sh"
source "$route32_root/scripts/lib/wine32-route.sh"
route32=$(wine32_route)
route32_spool=""

route32_begin() {
  local work=$1 started=$SECONDS
  case "$route32" in
  native) echo "32-bit jobs: native route (Wine 10 WoW64 on this machine's kernel)" ;;
  none) echo "32-bit jobs: NOT RUN: $(wine32_why_none)" ;;
  vm)
    mkdir -p "$work"
    route32_spool=$(mktemp -d "$work/vm32.XXXXXX")
    vm32_start "$route32_spool" "$work" || {
      route32_spool=""
      echo "FAIL: the emulated machine for the 32-bit jobs did not start" >&2
      return 1
    }
    export TINTARA_VM32_SPOOL=$route32_spool
    echo "32-bit jobs: vm route (Wine 10 in one emulated machine, $(vm32_accel), ready in $((SECONDS - started)) s)"
    ;;
  esac
}

route32_end() {
  [ -n "$route32_spool" ] || return 0
  vm32_stop "$route32_spool"
  route32_spool=""
  unset TINTARA_VM32_SPOOL
  return 0
}
