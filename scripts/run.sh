#!/usr/bin/env bash
# Builds one program and starts it: scripts/run.sh kestrin|talvose|vaskel|orvane [--win32]
# By default the native Qt build; with --win32 the Windows build, run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: scripts/run.sh kestrin|talvose|vaskel|orvane [--win32]" >&2; exit 2; }
[ $# -ge 1 ] || usage
program=$1
case "$program" in kestrin | talvose | vaskel | orvane) ;; *) usage ;; esac
preset=native
[ "${2:-}" = --win32 ] && preset=win32
[ $# -le 2 ] || usage
[ $# -lt 2 ] || [ "$2" = --win32 ] || usage

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
There is no display to show the dialog on. Run this from a desktop session, or give it a virtual
display:   sudo apt-get install xvfb && xvfb-run -a scripts/run.sh kestrin
(over SSH, `ssh -X` forwards a display too).
MSG
  exit 1
fi

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target "$program"
if [ "$preset" = win32 ]; then
  TOOLS_WINE_BUILD_DIR=$PWD/build/win32 exec cmake/wine-run.sh "build/win32/$program.exe"
else
  exec "build/native/$program"
fi
