# Sourced first by every script that starts Wine: runs the script once more
# with the kernel's address randomization off, for it and all it starts.
#
#   source scripts/fixed-layout.sh "$0" "$@"
#
# Debian's Wine 8 has no preloader, so its loader reserves the addresses
# Windows programs need only once it runs, and by then the kernel has put
# the C library's heap anywhere up to 1 GiB above the loader. About one
# start in 3000, that heap covers 0x7ffe0000, where Wine maps the shared
# user data page: the new process ends before any of its own code runs
# ("failed to map the shared user data", silent under WINEDEBUG=-all), and
# CreateProcess fails with ERROR_INTERNAL_ERROR. Without randomization the
# heap starts right above the loader, far below that page, every time.
#
# Where the kernel refuses (a container's seccomp filter may), the script
# goes on as it is and says so.

_layout_fixed() {
  local flags
  flags=$(cat /proc/self/personality 2>/dev/null) || return 1
  ((0x$flags & 0x0040000)) # ADDR_NO_RANDOMIZE
}

if ! _layout_fixed; then
  if ${SETARCH:-setarch} "$(uname -m)" -R true >/dev/null 2>&1; then
    exec ${SETARCH:-setarch} "$(uname -m)" -R bash "$@"
  fi
  echo "fixed-layout: address randomization stays on here (setarch -R refused): about one Wine start in 3000 can fail" >&2
fi
unset -f _layout_fixed
