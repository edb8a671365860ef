# Sourced by everything that runs the Windows programs or tests under Wine: a prefix of the build's
# own, so that nothing touches the user's ~/.wine, no stop to offer Mono or Gecko downloads, and the
# Wine loader of the build's architecture.
#   wine_env BUILD_DIR [LOADER]   exports WINEPREFIX (unless set), WINEDEBUG, WINEDLLOVERRIDES and
#                                 WINELOADER, and defines `wine`, which runs a program through it
# The loader is LOADER, or the one the build found (BUILD_DIR/wine-loader.txt), or `wine`. The
# 64-bit build's is wine64 itself: Debian's `wine` launcher would take the 32-bit loader whenever
# wine32 is installed, and a machine without 32-bit support cannot start that one at all.
wine_env() {
  local loader=${2:-}
  [ -n "$loader" ] || loader=$(cat "$1/wine-loader.txt" 2>/dev/null) || true
  [ -n "$loader" ] || loader=$(command -v wine)
  export WINELOADER=$loader
  export WINEPREFIX=${WINEPREFIX:-$1/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  mkdir -p "$WINEPREFIX"
}
wine() { "$WINELOADER" "$@"; }
