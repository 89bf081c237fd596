# Sourced by the test, demo and benchmark scripts: a display, a Wine prefix
# made for the tests, and a persistent Wine server, all ended on exit.
#
#   wine_session_start PREFIX_DIR [win64|win32 [LOADER]]
#
# The prefix is a 64-bit Windows unless told otherwise. LOADER starts the
# programs: Wine's 64-bit loader by default, which runs the x86_64 build;
# the 32-bit loader runs the shipped 32-bit programs, in a 32-bit prefix or
# under WoW64 in a 64-bit one. $WINE is the loader to start programs with.

WINE=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
WINE64=${WINE64:-/usr/lib/wine/wine64}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
_session_xvfb_pid=

wine_session_start() {
  export WINEPREFIX=$1 WINEARCH=${2:-win64}
  WINE=${3:-$WINE64}
  export WINELOADER=$WINE
  if [ -z "${DISPLAY:-}" ] || [ -n "${MARLO_FORCE_XVFB:-}" ]; then
    # Xvfb picks a display number no other server holds and writes it once
    # it accepts connections: a random number could meet another session's.
    local ready
    ready=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
    _session_xvfb_pid=$!
    for _ in $(seq 600); do
      [ "$(wc -l <"$ready")" -ge 1 ] && break
      kill -0 "$_session_xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    export DISPLAY=:$(tr -dc 0-9 <"$ready")
    rm -f "$ready"
    xdpyinfo >/dev/null 2>&1 || { echo "wine-session: Xvfb did not start" >&2; return 1; }
  fi
  trap wine_session_end EXIT
  _session_count 1 >/dev/null
  local made_by
  made_by=$(_session_wine_identity)
  if [ "$(cat "$WINEPREFIX/.marlo-made-by" 2>/dev/null)" != "$made_by" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    _session_make_prefix || return 1
    "$WINESERVER" -w
    echo "$made_by" >"$WINEPREFIX/.marlo-made-by"
  fi
  _session_install_wine_fonts
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null
  # The prefix's services start with the first program; started here, they
  # do not hold the output of a test (which CTest waits to see closed).
  _session_checked "starting a program in the prefix $WINEPREFIX" "$WINE" reg query "HKCU\\Software"
}

# What made a prefix: this Wine's version, which of its halves are there and
# the prefix's kind. A prefix made by another Wine, or by this one before its
# 32-bit half was installed, is made anew: the 32-bit loader cannot start a
# program in a 64-bit prefix made without it ("could not load kernel32.dll,
# status c0000135").
_session_wine_identity() {
  local file
  echo "$WINEARCH prefix, $("$WINESERVER" --version 2>&1 | head -n 1)"
  for file in /usr/lib/wine/wine /usr/lib/wine/wine64 /usr/lib/i386-linux-gnu/wine /usr/lib/x86_64-linux-gnu/wine; do
    [ -e "$file" ] && echo "$file $(stat -L -c '%s %Y' "$file")"
  done
}

# Runs a Wine step quietly; where it fails, says which step and why, in
# Wine's words: its status, and the errors it printed once asked to.
_session_checked() {
  local step=$1 status=0 said
  shift
  "$@" >/dev/null 2>&1 </dev/null || status=$?
  [ "$status" -eq 0 ] && return 0
  said=$(WINEDEBUG=err+all "$@" 2>&1 </dev/null | tr -d '\r' | grep -v '^$' | grep -m 3 -i 'err\|could not\|status' | cut -c 1-200)
  echo "wine-session: $step failed: $1 ended with status $status${said:+; Wine said: $(tr '\n' ' ' <<<"$said")}" >&2
  return "$status"
}

# Wine's own fonts (Tahoma for "MS Shell Dlg", Marlett, MS Sans Serif and
# the bitmap fonts) come in Debian's fonts-wine, in a folder this Wine never
# reads; without them every dialog falls back to whatever font fontconfig
# offers. The prefix's Fonts folder, which Wine does read, gets copies.
_session_install_wine_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  mkdir -p "$fonts"
  cp -u /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
}

# A new prefix, set up by the loader of its own kind: the fonts mapped, no
# window manager, no crash debugger (in both registry views of a 64-bit
# Windows, for 32-bit and 64-bit programs alike).
_session_make_prefix() {
  local tool=$WINE64 views=("/reg:64" "/reg:32")
  [ "$WINEARCH" = win32 ] && tool=$WINE views=("")
  _session_checked "making the $WINEARCH prefix $WINEPREFIX" "$tool" wineboot -i || return 1
  "$WINESERVER" -w
  # No SimSun or Times New Roman on Linux: map the two faces the installer
  # names to fonts of the same metrics (AR PL SungtiL GB has SimSun's 6 x 12
  # base units at 9 points), so that it keeps its proportions. Nothing else
  # is mapped: "MS Shell Dlg" stays Wine's Tahoma, as on Windows.
  local song="AR PL SungtiL GB"
  local reg="HKCU\\Software\\Wine\\Fonts\\Replacements"
  "$tool" reg add "$reg" /v SimSun /t REG_SZ /d "$song" /f >/dev/null 2>&1
  "$tool" reg add "$reg" /v "宋体" /t REG_SZ /d "$song" /f >/dev/null 2>&1
  "$tool" reg add "$reg" /v "Times New Roman" /t REG_SZ /d "Liberation Serif" /f >/dev/null 2>&1
  # Without a window manager, Wine draws the captions itself.
  "$tool" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # A crash ends the program at once; no debugger waits for a user.
  local aedebug="HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" view
  for view in "${views[@]}"; do
    "$tool" reg add "$aedebug" /v Auto /t REG_SZ /d 0 /f $view >/dev/null 2>&1
    "$tool" reg add "$aedebug" /v Debugger /t REG_SZ /d "" /f $view >/dev/null 2>&1
  done
}

# Adds delta to the number of sessions on this prefix; prints the new number.
_session_count() {
  local file="$WINEPREFIX.sessions"
  mkdir -p "$(dirname "$file")"
  (
    flock 9
    local n
    n=$(cat "$file" 2>/dev/null || echo 0)
    n=$((n + $1))
    [ "$n" -lt 0 ] && n=0
    echo "$n" >"$file"
    echo "$n"
  ) 9>>"$file.lock"
}

wine_session_end() {
  # Several sessions may share a prefix: the last one to end stops its server.
  local users
  users=$(_session_count -1)
  [ "$users" -le 0 ] && "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$_session_xvfb_pid" ] && kill "$_session_xvfb_pid" >/dev/null 2>&1 || true
}
