# Sourced by everything that runs the Win32 programs or tests under Wine: a prefix of the build's
# own, so that nothing touches the user's ~/.wine, and no stop to offer Mono or Gecko downloads.
#   wine_env BUILD_DIR   exports WINEPREFIX (unless set), WINEDEBUG and WINEDLLOVERRIDES
wine_env() {
  export WINEPREFIX=${WINEPREFIX:-$1/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  mkdir -p "$WINEPREFIX"
}
