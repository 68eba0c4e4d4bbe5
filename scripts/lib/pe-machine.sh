# pe_machine FILE: prints i386, x86_64 or aarch64 for a Windows program or library
# (the machine field of its PE header), fails for anything else.
pe_machine() {
  local file="$1" offset signature machine
  [ -f "$file" ] || return 1
  [ "$(head -c2 "$file" 2>/dev/null)" = MZ ] || return 1
  offset=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
  [ -n "$offset" ] || return 1
  signature=$(od -An -tx1 -j"$offset" -N4 "$file" | tr -d ' ')
  [ "$signature" = 50450000 ] || return 1
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$file" | tr -d ' ')
  case "$machine" in
  014c) echo i386 ;;
  8664) echo x86_64 ;;
  aa64) echo aarch64 ;;
  *) return 1 ;;
  esac
}
