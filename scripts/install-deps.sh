#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 or Ubuntu, skipping what is already there.
# Works as root, or as a normal user with sudo.
set -euo pipefail

packages=(
  # native builds
  g++ cmake ninja-build pkg-config libgtest-dev googletest libbenchmark-dev
  # zlib compresses unpack's PNGs: natively, and a static library for the win32 build
  zlib1g-dev libz-mingw-w64-dev
  # liblz4 checks, in a native test only, that the LVGL images' LZ4 blocks decode
  liblz4-dev
  # stb_truetype rasterises the glyphs of rgb565 font; both builds compile the same header
  libstb-dev
  # Qt 6 front end: Widgets and Test, with the offscreen and xcb platform plugins
  qt6-base-dev libqt6test6 qt6-qpa-plugins libgl-dev fonts-dejavu-core
  # Qt's TIFF reader, which pack reads TIFF pictures through
  qt6-image-formats-plugins
  # Windows builds: the MinGW-w64 cross compilers, and 64-bit Wine to run the win64 build's tests
  # (wine32, for the win32 build's, is added below where the machine can run it)
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64
  # GUI tests of the Win32 programs
  xvfb xauth xdotool python3-xlib
  # packages: icons for the .exe files, the .deb, and the checks of what gets installed
  librsvg2-bin icoutils dpkg-dev file desktop-file-utils appstream lintian groff-base man-db unzip
  # the Windows installer: wixl writes the .msi, msitools' msibuild and msiinfo add and read tables
  wixl msitools
  # checks; clang with libFuzzer and its sanitizer runtimes for scripts/fuzz.sh; valgrind, which
  # runs rgb565 in a test
  clang-format clang libclang-rt-14-dev valgrind
)

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: run as root, or install sudo" >&2
  exit 1
fi

# Wine's 32-bit loader is itself a 32-bit program: only a machine that runs those gets wine32, for
# the win32 build's tests. Elsewhere the win64 build's tests run under wine64 alone.
# shellcheck source-path=SCRIPTDIR source=lib/wine32.sh
source "$(dirname "$0")/lib/wine32.sh"
if runs_32bit_programs; then
  packages+=(wine32:i386)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

# wine32 is a 32-bit package: Debian needs the i386 architecture for it.
if [[ " ${missing[*]} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync serves an index of the wrong size for a while; try again, then go on
# with what did download, which is enough unless the install below says otherwise.
for attempt in 1 2 3; do
  "${as_root[@]}" apt-get update -qq && break
  echo "install-deps: the package lists did not all download (attempt $attempt of 3)" >&2
  [ "$attempt" -lt 3 ] && sleep 20
done
apt_install() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}
apt_install "${missing[@]}"
