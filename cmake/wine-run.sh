#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix of the build's own, so tests never touch the
# user's ~/.wine and never stop to offer Mono or Gecko downloads.
set -u
build_dir=${TOOLS_WINE_BUILD_DIR:-$(pwd)}
while [ "$build_dir" != / ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do build_dir=$(dirname "$build_dir"); done
[ "$build_dir" = / ] && build_dir=${TMPDIR:-/tmp}
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"
exec wine "$@"
