#!/usr/bin/env bash
# Runs a command (a Win32 test under Wine) with an X display of its own, for tests that create
# windows: with_display.sh BUILD_DIR COMMAND [ARGS...]. The exit status is the command's.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"
build_dir=$1
shift
trap x_session_stop EXIT
x_session_start "$build_dir"
"$@"
status=$?
x_session_stop
exit "$status"
