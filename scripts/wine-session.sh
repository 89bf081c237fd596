# Sourced by the test, demo and benchmark scripts: a display, a Wine prefix
# made for the tests, and a persistent Wine server, all ended on exit.
#
#   wine_session_start PREFIX_DIR
#
# 32-bit x86 code cannot execute on the machines this project is built and
# tested on (neither 32-bit Linux programs nor Wine's WoW64 mode), so the
# prefix is a 64-bit Windows and the programs run as their x86_64 build.

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$WINE64
_session_xvfb_pid=

wine_session_start() {
  export WINEPREFIX=$1 WINEARCH=win64
  if [ -z "${DISPLAY:-}" ] || [ -n "${MARLO_FORCE_XVFB:-}" ]; then
    local display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    _session_xvfb_pid=$!
    export DISPLAY=$display
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
  fi
  trap wine_session_end EXIT
  _session_count 1 >/dev/null
  if [ ! -f "$WINEPREFIX/.marlo-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$WINE64" wineboot -i >/dev/null 2>&1
    "$WINESERVER" -w
    # No SimSun or Times New Roman on Linux: map them to fonts of similar
    # metrics, so that dialogs keep the proportions they have on Windows.
    local song="AR PL UMing CN"
    local reg="HKCU\\Software\\Wine\\Fonts\\Replacements"
    "$WINE64" reg add "$reg" /v SimSun /t REG_SZ /d "$song" /f >/dev/null 2>&1
    "$WINE64" reg add "$reg" /v "宋体" /t REG_SZ /d "$song" /f >/dev/null 2>&1
    "$WINE64" reg add "$reg" /v "Times New Roman" /t REG_SZ /d "Liberation Serif" /f >/dev/null 2>&1
    # Without a window manager, Wine draws the captions itself.
    "$WINE64" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # A crash ends the program at once; no debugger waits for a user.
    "$WINE64" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" /v Auto /t REG_SZ /d 0 /f >/dev/null 2>&1
    "$WINE64" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" /v Debugger /t REG_SZ /d "" /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.marlo-ready"
  fi
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null
  # The prefix's services start with the first program; started here, they
  # do not hold the output of a test (which CTest waits to see closed).
  "$WINE64" reg query "HKCU\\Software" >/dev/null 2>&1 </dev/null
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
