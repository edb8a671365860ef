#!/usr/bin/env bash
# GUI test of one Win32 program under Xvfb and Wine, driven from outside as a user would, with
# xdotool and X client messages:
#   gui_test.sh BUILD_DIR PROGRAM_EXE FIXTURE_EXE KEY
# The fixture gives the program's caption and files. The program must open one window with the
# caption; paths typed into both fields and Enter must
# produce the file that the fixture expects; Escape must leave the dialog open; a window manager's
# close (WM_DELETE_WINDOW) must end the process with exit code 0. Every wait is bounded.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/x_session.sh"

[ $# -eq 4 ] || { echo "usage: gui_test.sh BUILD_DIR PROGRAM_EXE FIXTURE_EXE KEY" >&2; exit 2; }
build_dir=$1 program=$2 fixture=$3 key=$4

work= runner=
cleanup() {
  # Stopping Wine in the prefix also ends the program if a failed step left it running.
  x_session_stop
  [ -n "$runner" ] && wait "$runner" 2>/dev/null
  [ -n "$work" ] && rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($key): $*" >&2
  exit 1
}
step() { echo "-- $key: $*"; }

# wait_for SECONDS COMMAND [ARGS...]: polls until the command succeeds; fails after SECONDS.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

x_session_start "$build_dir"
work=$(mktemp -d "${TMPDIR:-/tmp}/tool-gui-$key.XXXXXX") || fail "no temporary folder"
windows_work="Z:${work//\//\\}"

# make_files: the fixture writes the program's input files and the expected output, and names
# the program's caption, what to type and which file to compare.
make_files() {
  # timeout runs a program, not the shell's `wine`: it is given the build's loader itself.
  mapfile -t names < <(timeout 300 "$WINELOADER" "$fixture" "$key" "$windows_work" | tr -d '\r')
  [ ${#names[@]} -eq 4 ] && [ -f "$work/expected" ] || fail "the fixture made no files for $key"
  caption=${names[0]}
  first="$windows_work\\${names[1]}" second="$windows_work\\${names[2]}" result="$work/${names[3]}"
}

step "making the input files"
# The first Wine start in a fresh prefix sets the prefix up (10-20 s, longer on a busy machine);
# the fixture, a console program, takes that wait so that the program's own start is quick.
make_files

step "starting $(basename "$program")"
(
  wine "$program"
  echo $? >"$work/exit-status"
) &
runner=$!
window_ids=$(timeout 60 xdotool search --sync --onlyvisible --name "^$caption\$") ||
  fail "no window captioned \"$caption\" within 60 s"
[ "$(wc -l <<<"$window_ids")" -eq 1 ] || fail "more than one window captioned \"$caption\": $window_ids"
window=$window_ids
program_ended() { [ -s "$work/exit-status" ]; }
# The X clients that play the window manager's part; /usr/bin/python3 for Debian's python3-xlib.
wm_message() { /usr/bin/python3 "$here/wm_message.py" "$@"; }
# Input sent while the program is still busy with a job can get lost between the X server and
# Wine: before the next input, wait until the program's message loop answers a ping.
wait_idle() { wm_message ping "$window" || fail "the program does not answer pings"; }

step "typing both paths and Enter"
# No window manager: give the window the keyboard directly. The dialog starts with the keyboard
# in the first field; Tab passes the first browse button on the way to the second field.
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
wait_idle
xdotool type --delay 10 "$first"
xdotool key Tab Tab
xdotool type --delay 10 "$second"
xdotool key Return
wait_for 30 cmp -s "$result" "$work/expected" ||
  fail "$(basename "$result") is not the expected output 30 s after Enter ($(stat -c %s "$result" 2>/dev/null || echo no file))"

step "Escape, then Enter again"
# Proof that Escape left the dialog running: the keys are handled in order, so the Enter after it
# converts again only if the dialog is still there. (A window that goes away shows late under
# Wine without a window manager, so its absence alone would prove little.) Fresh input files
# first, since a job may change its input in place.
rm -f "$result"
make_files
wait_idle
xdotool key Escape Return
wait_for 30 cmp -s "$result" "$work/expected" || fail "Escape ended the dialog: Enter after it converted nothing"
program_ended && fail "Escape ended the program"
xdotool search --onlyvisible --name "^$caption\$" | grep -qx "$window" || fail "Escape closed the window"

step "closing through WM_DELETE_WINDOW"
wait_idle
wm_message close "$window" || fail "could not send WM_DELETE_WINDOW"
wait_for 30 program_ended || fail "the program still runs 30 s after WM_DELETE_WINDOW"
status=$(cat "$work/exit-status")
[ "$status" = 0 ] || fail "the program ended with exit code $status, not 0"

step "passed"
