# Sourced by the Win32 GUI tests: an X display of their own (Xvfb, with no window manager) and the
# build's Wine prefix, whose wineserver is started on that display and stopped at the end.
#   x_session_start BUILD_DIR    sets DISPLAY, WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES
#   x_session_stop               stops Wine in the prefix and the X server; safe to call twice

source "$(dirname "${BASH_SOURCE[0]}")/../../cmake/wine-env.sh"

x_session_fail() {
  echo "x-session: $*" >&2
  exit 1
}

x_session_stop_wine() {
  # Bounded: a wineserver that will not go must not hang the test.
  timeout 30 wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w >/dev/null 2>&1
  return 0
}

x_session_start() {
  local build_dir=$1 i
  x_session_dir=$(mktemp -d "${TMPDIR:-/tmp}/tool-x-session.XXXXXX") || x_session_fail "no temporary folder"
  wine_env "$build_dir"
  # Wine opens its desktop on the display of the wineserver's first client. A server left running
  # in the prefix by an earlier test would put the windows on a display that is gone.
  x_session_stop_wine
  # -displayfd: the server picks a free display and writes its number once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$x_session_dir/display" >"$x_session_dir/xvfb.log" 2>&1 &
  x_session_xvfb=$!
  for ((i = 0; i < 200; i++)); do
    [ -s "$x_session_dir/display" ] && break
    kill -0 "$x_session_xvfb" 2>/dev/null || x_session_fail "Xvfb did not start: $(cat "$x_session_dir/xvfb.log")"
    sleep 0.05
  done
  [ -s "$x_session_dir/display" ] || x_session_fail "Xvfb gave no display within 10 s"
  export DISPLAY=:$(head -n 1 "$x_session_dir/display")
}

x_session_stop() {
  x_session_stop_wine
  if [ -n "${x_session_xvfb:-}" ]; then
    kill "$x_session_xvfb" 2>/dev/null
    wait "$x_session_xvfb" 2>/dev/null
    x_session_xvfb=
  fi
  [ -n "${x_session_dir:-}" ] && rm -rf "$x_session_dir"
  x_session_dir=
  return 0
}
