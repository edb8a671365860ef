#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix (see wine-env.sh):
#   wine-run.sh LOADER PROGRAM [ARGS...]
# LOADER is the build's Wine loader. The build folder is TOOLS_WINE_BUILD_DIR, or the nearest folder
# above the working directory with a CMakeCache.txt.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
loader=$1
shift
build_dir=${TOOLS_WINE_BUILD_DIR:-$(pwd)}
while [ "$build_dir" != / ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do build_dir=$(dirname "$build_dir"); done
[ "$build_dir" = / ] && build_dir=${TMPDIR:-/tmp}
wine_env "$build_dir" "$loader"
exec "$WINELOADER" "$@"
