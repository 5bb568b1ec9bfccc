# Shared by the Wine runner scripts: the template prefix, sessions (a private Xvfb plus a prefix cloned from
# the template, with one wineserver kept alive), and the environment Wine runs in.
# A session belongs to one CTest run (keyed by the ctest process id) or to one command run alone.

wine_root="${LUMAR_WINE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine}"
wine_template="$wine_root/template"

wine_base_env() {
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  export WINEARCH=win64
}

# Creates the template prefix once (under a lock, so parallel runs wait for the first).
wine_ensure_template() {
  mkdir -p "$wine_root"
  (
    flock 9
    [ -f "$wine_template/.lumar-ready" ] && exit 0
    rm -rf "$wine_template"
    mkdir -p "$wine_template"
    export WINEPREFIX="$wine_template"
    wine_base_env
    unset DISPLAY
    wineboot -i >/dev/null 2>&1 || { echo "wine-run: wineboot failed" >&2; exit 1; }
    # No crash dialog (a crash ends the program with an exit code instead of hanging the test), and
    # unmanaged windows (no window manager in Xvfb: DestroyWindow would stall).
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
      { echo "wine-run: the template's crash dialog or window management could not be switched off" >&2; exit 1; }
    wineserver -w
    touch "$wine_template/.lumar-ready"
  ) 9>"$wine_root/template.lock"
}

# Starts a session in directory $1 with screen size $2 (WxHxD): Xvfb on a free display, a cloned prefix,
# a warm wineserver. Writes the display to $1/display and the Xvfb pid to $1/xvfb.pid.
wine_session_start() {
  local dir="$1" screen="${2:-1024x768x24}"
  wine_ensure_template || return 1
  rm -rf "$dir"
  mkdir -p "$dir/prefix"
  (cd "$wine_template" && cp -al drive_c dosdevices "$dir/prefix/" && cp ./*.reg .update-timestamp "$dir/prefix/")
  # Several monitors on the one screen: Wine reads them from Xinerama instead of XRandR, and our stand-in
  # Xinerama library reports the heads listed in LUMAR_XINERAMA_HEADS. Set before the wineserver starts,
  # since the desktop process reads the monitors once.
  if [ -n "${LUMAR_XINERAMA_HEADS:-}" ]; then
    [ -f "${LUMAR_XINERAMA_LIB:-}/libXinerama.so.1" ] || { echo "wine-run: no stand-in Xinerama library" >&2; return 1; }
    wine_use_xinerama "$dir/prefix" || return 1
    export LD_LIBRARY_PATH="$LUMAR_XINERAMA_LIB${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  fi
  # A scaled desktop: LUMAR_LOG_PIXELS dots per inch (96 is 100 %, 144 is 150 %) wherever Wine keeps it.
  if [ -n "${LUMAR_LOG_PIXELS:-}" ]; then
    local dpi
    dpi=$(printf '%08x' "$LUMAR_LOG_PIXELS")
    sed -i "s/^\"LogPixels\"=dword:.*/\"LogPixels\"=dword:$dpi/" "$dir/prefix/user.reg" "$dir/prefix/system.reg"
    sed -i "/^\\[Control Panel\\\\\\\\Desktop\\]/{n;a \"LogPixels\"=dword:$dpi
}" "$dir/prefix/user.reg"
  fi
  # -displayfd picks a free display number, so concurrent sessions never collide.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$dir/display.raw" >/dev/null 2>&1 &
  echo $! >"$dir/xvfb.pid"
  local i
  for i in $(seq 100); do
    [ -s "$dir/display.raw" ] && break
    sleep 0.05
  done
  [ -s "$dir/display.raw" ] || { echo "wine-run: Xvfb did not start" >&2; return 1; }
  echo ":$(head -n 1 "$dir/display.raw" | tr -d '[:space:]')" >"$dir/display"
  wine_session_env "$dir"
  # One wineserver for the whole session; its helpers must not hold our stdout open.
  flock -o "$dir/prefix/.warm.lock" -c 'wineserver -p600 </dev/null >/dev/null 2>&1; wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1' || true
}

# Has the prefix $1 read its monitors from Xinerama: UseXRandR=N in its X11 Driver key (beside Managed=N,
# which the template sets). An edit that did not take leaves Wine on XRandR, which sees one wide monitor
# whatever the stand-in reports: it fails, saying so.
wine_use_xinerama() {
  sed -i '/^\[Software\\\\Wine\\\\X11 Driver\]/,/^$/{/^"Managed"/a "UseXRandR"="N"
}' "$1/user.reg" 2>/dev/null
  grep -q '^"UseXRandR"="N"' "$1/user.reg" 2>/dev/null ||
    { echo "wine-run: UseXRandR=N could not be set in the X11 Driver key of $1/user.reg" >&2; return 1; }
}

wine_session_env() {
  local dir="$1"
  export WINEPREFIX="$dir/prefix"
  export DISPLAY="$(cat "$dir/display")"
  wine_base_env
}

wine_session_stop() {
  local dir="$1"
  [ -d "$dir" ] || return 0
  if [ -d "$dir/prefix" ]; then
    WINEPREFIX="$dir/prefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$dir/prefix" wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  fi
  rm -rf "$dir"
}

# Removes sessions whose owning ctest process has gone (an interrupted run).
wine_reap_stale_sessions() {
  local d pid
  for d in "$wine_root"/session-*; do
    [ -d "$d" ] || continue
    pid="${d##*/session-}"
    kill -0 "$pid" 2>/dev/null || wine_session_stop "$d"
  done
}
