#!/usr/bin/env bash
# Builds one program and starts it: scripts/run.sh PROGRAM [--win64|--win32], PROGRAM one of those
# the build makes (kestrin, talvose, vaskel, orvane). By default the native Qt build; with --win64
# or --win32 the 64-bit or 32-bit Windows build, run under Wine (the 32-bit one needs a machine
# that runs 32-bit programs).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/run.sh PROGRAM [--win64|--win32]   (PROGRAM: ${programs:-a program of the build})" >&2
  exit 2
}
[ $# -ge 1 ] && [ $# -le 2 ] || usage
program=$1
preset=native
if [ $# -eq 2 ]; then
  case $2 in
    --win64 | --win32) preset=${2#--} ;;
    *) usage ;;
  esac
fi

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
# The build writes the names of the programs it makes, one a line.
programs=$(tr '\n' ' ' <"build/$preset/programs.txt")
grep -qx -- "$program" "build/$preset/programs.txt" || usage
cmake --build --preset "$preset" --target "$program"
if [ "$preset" != native ]; then
  TOOLS_WINE_BUILD_DIR=$PWD/build/$preset exec cmake/wine-run.sh "$(cat "build/$preset/wine-loader.txt")" \
    "build/$preset/$program.exe"
else
  exec "build/native/$program"
fi
