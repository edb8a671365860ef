#!/usr/bin/env bash
# Checks what scripts/package.sh made, as a user's system would see it:
#   - `cmake --install` of the native build into a temporary DESTDIR: exactly the expected files,
#     valid desktop entries and metainfo, manual pages that render without warnings, and the
#     installed console programs answer --version;
#   - the .deb: its control fields, its files (the same as the install's), lintian, and each
#     program's hardening (PIE, full RELRO, stack protector, fortified calls);
#   - each .zip (win64 and win32): exactly the .exe files, the user guide, LICENSE and the CMake
#     package; each .exe is of its architecture, imports only what Windows itself has, is hardened
#     (large address aware, ASLR, DEP, stack protector; high-entropy ASLR for 64 bits), carries its
#     resources (read back under Wine), and the console programs run from the unpacked folder.
#     The win64 programs run under 64-bit Wine on every machine; the win32 ones need 32-bit Wine,
#     and are left out, with a loud line, on a machine whose kernel cannot execute 32-bit programs
#     (scripts/lib/wine32.sh).
# The .msi is checked by scripts/check-msi.sh, which installs it.
# The programs come from the list each build writes (build/*/packaging/programs.txt), so a program
# added to the build is checked without a change here; the version, from project() in
# CMakeLists.txt, comes from build/*/packaging/version.txt.
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/check.sh
source "$(dirname "$0")/lib/check.sh"
# shellcheck source-path=SCRIPTDIR source=lib/wine32.sh
source "$root/scripts/lib/wine32.sh"
version=$(build_version "$native") || exit 1

make_work_dir check-packages

echo "=== install into a DESTDIR"
destdir=$work/destdir
DESTDIR=$destdir cmake --install "$native" --prefix /usr >/dev/null || fail "cmake --install failed"
usr=$destdir/usr
{
  echo usr/lib/cmake/rgb565/rgb565-config.cmake
  echo usr/lib/cmake/rgb565/rgb565-config-version.cmake
  echo usr/share/doc/rgb565-tools/README.md
  echo usr/share/doc/rgb565-tools/CHANGELOG.md
  for page in "$root"/docs/*.md; do
    echo "usr/share/doc/rgb565-tools/docs/$(basename "$page")"
  done
  echo usr/share/doc/rgb565-tools/changelog.gz
  echo usr/share/doc/rgb565-tools/copyright
  echo usr/share/man/man1/rgb565-tools.1.gz
  echo usr/share/metainfo/org.example.rgb565_tools.metainfo.xml
  while read -r key kind; do
    echo "usr/bin/$key"
    echo "usr/share/man/man1/$key.1.gz"
    if [ "$kind" = dialog ]; then
      echo "usr/share/applications/$key.desktop"
      echo "usr/share/icons/hicolor/scalable/apps/$key.svg"
    fi
  done < <(programs "$native")
} | sort >"$work/expected"
(cd "$destdir" && find . ! -type d | sed 's|^\./||' | sort) >"$work/installed"
check "the install is not exactly the expected files" diff -u "$work/expected" "$work/installed"

for entry in "$usr"/share/applications/*.desktop; do
  check "desktop-file-validate $(basename "$entry")" desktop-file-validate "$entry"
done
check "appstreamcli validate" appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml
for icon in "$usr"/share/icons/hicolor/scalable/apps/*.svg; do
  check "$(basename "$icon") does not render at 16 px" rsvg-convert -w 16 -h 16 -o "$work/icon.png" "$icon"
done
# groff -ww: every warning; a page that renders with none prints nothing on standard error.
render() { zcat "$1" | groff -man -ww -z -Tutf8 2>&1 | { ! grep .; }; }
for page in "$usr"/share/man/man1/*.1.gz; do
  check "manual page $(basename "$page") renders with warnings" render "$page"
done
answers_version() { [ "$("$usr/bin/$1" --version)" = "$1 $version" ]; }
while read -r key kind; do
  [ "$kind" = console ] && check "installed $key --version" answers_version "$key"
done < <(programs "$native")

echo "=== the .deb"
deb=$packages/rgb565-tools_${version}_amd64.deb
if [ ! -f "$deb" ]; then
  fail "no $deb: run scripts/package.sh first"
else
  field() { dpkg-deb -f "$deb" "$1"; }
  check "Package" test "$(field Package)" = rgb565-tools
  check "Version" test "$(field Version)" = "$version"
  check "Maintainer" test "$(field Maintainer)" = "The Maintainers <maintainers@example.org>"
  # The suite has no public site: no field may send users to a placeholder.
  check "no Homepage field" test -z "$(field Homepage)"
  check "Description has a synopsis and more" test "$(field Description | wc -l)" -gt 1
  # From dpkg-shlibdeps: the C library and the Qt the programs link.
  check "Depends names libc6 and Qt 6 Widgets: $(field Depends)" \
    grep -Eq '(^|, )libc6 .*libqt6widgets6 ' <<<"$(field Depends)"
  dpkg-deb -I "$deb" >/dev/null || fail "dpkg-deb -I cannot read the package"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$work/packaged"
  check "the .deb does not hold exactly the installed files" diff -u "$work/installed" "$work/packaged"
  check "lintian reports errors" lintian --fail-on error "$deb"

  # What the shipped (stripped) programs show of their hardening; each missing item is named.
  # Fortified calls: with _FORTIFY_SOURCE=2 the compiler always turns the printf family and
  # longjmp into their checked __*_chk forms, so a plain import of one of those means a source built
  # without it; and every program must import some __*_chk function, as each links the files and
  # containers libraries, whose siglongjmp and snprintf calls are fortified.
  # Each tool's output is read whole before it is searched: with pipefail, a grep -q that stops at
  # its first match could fail the check by cutting the writer off.
  elf_hardened() {
    local missing=() header dynamic segments imports plain
    header=$(readelf -hW "$1") dynamic=$(readelf -dW "$1") segments=$(readelf -lW "$1")
    imports=$(readelf --dyn-syms -W "$1" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }')
    grep -q 'Type: *DYN' <<<"$header" || missing+=("an ELF of type DYN")
    grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || missing+=("PIE in FLAGS_1")
    grep -q GNU_RELRO <<<"$segments" || missing+=("a GNU_RELRO segment")
    grep -Eq 'BIND_NOW|FLAGS.* NOW' <<<"$dynamic" || missing+=("BIND_NOW")
    grep -qx __stack_chk_fail <<<"$imports" || missing+=("an import of __stack_chk_fail")
    grep -Ex '__.+_chk' <<<"$imports" | grep -vx __stack_chk_fail >/dev/null || missing+=("a fortified __*_chk import")
    plain=$(grep -Ex '(v?(f|d|s|sn)?printf|_?longjmp|siglongjmp)' <<<"$imports" | tr '\n' ' ')
    [ -z "$plain" ] || missing+=("fortified forms of: $plain")
    [ ${#missing[@]} -eq 0 ] || { printf 'missing %s\n' "${missing[@]}"; return 1; }
  }
  dpkg-deb -x "$deb" "$work/deb" || fail "dpkg-deb -x cannot unpack the package"
  while read -r key kind; do
    check "/usr/bin/$key in the .deb is hardened" elf_hardened "$work/deb/usr/bin/$key"
  done < <(programs "$native")
fi

# shellcheck source=../cmake/wine-env.sh
source cmake/wine-env.sh
# check_zip BUILD_DIR SYSTEM: the .zip of one Windows build (SYSTEM win32 or win64).
check_zip() {
  local build=$1 system=$2 zip top objdump runs=yes key kind exe reference
  echo "=== the $system .zip"
  check "the $system build's version is the native build's" test "$(cat "$build/packaging/version.txt")" = "$version"
  zip=$packages/rgb565-tools-$version-$system.zip
  top=rgb565-tools-$version-$system
  if [ ! -f "$zip" ]; then
    fail "no $zip: run scripts/package.sh first"
    return
  fi
  { printf '%s\n' "$top/USER-GUIDE.txt" "$top/LICENSE" "$top/lib/cmake/rgb565/rgb565-config.cmake" \
      "$top/lib/cmake/rgb565/rgb565-config-version.cmake"; programs "$build" | while read -r key kind; do
    echo "$top/bin/$key.exe"
  done; } | sort >"$work/expected-zip-$system"
  unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/zipped-$system"
  check "the $system .zip does not hold exactly the programs, USER-GUIDE.txt, LICENSE and the CMake package" \
    diff -u "$work/expected-zip-$system" "$work/zipped-$system"
  unzip -q "$zip" -d "$work/zip-$system" || fail "cannot unpack the $system .zip"

  # Each .exe must run on its own: it may import only DLLs that every Windows has.
  if [ "$system" = win64 ]; then objdump=x86_64-w64-mingw32-objdump; else objdump=i686-w64-mingw32-objdump; fi
  system_dlls=' advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll windowscodecs.dll '
  imports_only_system() {
    local dll
    for dll in $($objdump -p "$1" | awk '/DLL Name:/ { print tolower($3) }'); do
      [[ $system_dlls == *" $dll "* ]] || { echo "imports $dll"; return 1; }
    done
  }
  # The guide is for Notepad: CRLF on every line, no bare LF, and it speaks of every program.
  guide=$work/zip-$system/$top/USER-GUIDE.txt
  guide_for_windows() {
    [ -s "$guide" ] || { echo "missing or empty"; return 1; }
    ! grep -q $'[^\r]$' "$guide" || { echo "a line without CR: $(grep -n $'[^\r]$' "$guide" | head -1)"; return 1; }
    ! grep -q $'^$' "$guide" || { echo "a bare LF"; return 1; }
    local key kind
    while read -r key kind; do
      grep -qi "$key" "$guide" || { echo "says nothing of $key"; return 1; }
    done < <(programs "$build")
    grep -q "$version" "$guide" || { echo "does not name version $version"; return 1; }
  }
  check "$system USER-GUIDE.txt" guide_for_windows

  # Each .exe's hardening: ASLR, DEP, the whole address space (large address aware; for a 64-bit
  # program also high-entropy ASLR, the 64-bit address space's own randomisation), and the stack
  # protector. libssp, the protector's runtime, sits in a static archive and is linked only when
  # compiled code calls __stack_chk_fail, so its message in a stripped .exe shows that the code was
  # built with the protector.
  exe_hardened() {
    local missing=() headers
    headers=$($objdump -p "$1")
    grep -q 'large address aware' <<<"$headers" || missing+=("the large address aware characteristic")
    grep -Eq '^[[:space:]]+DYNAMIC_BASE$' <<<"$headers" || missing+=("DYNAMIC_BASE in DllCharacteristics")
    grep -Eq '^[[:space:]]+NX_COMPAT$' <<<"$headers" || missing+=("NX_COMPAT in DllCharacteristics")
    if [ "$system" = win64 ]; then
      grep -q '^Magic[[:space:]]*020b' <<<"$headers" || missing+=("a PE32+ header")
      grep -Eq '^[[:space:]]+HIGH_ENTROPY_VA$' <<<"$headers" || missing+=("HIGH_ENTROPY_VA in DllCharacteristics")
    else
      grep -q '^Magic[[:space:]]*010b' <<<"$headers" || missing+=("a PE32 header")
    fi
    grep -aq 'stack smashing detected' "$1" || missing+=("the stack protector (libssp)")
    [ ${#missing[@]} -eq 0 ] || { printf 'missing %s\n' "${missing[@]}"; return 1; }
  }

  # Each build's programs run in that build's own prefix, with its own loader.
  unset WINEPREFIX
  wine_env "$build"
  if [ "$system" = win32 ] && ! runs_32bit_programs; then
    no_wine "the win32 .exe files' resources and --version under Wine"
    runs=no
  fi
  while read -r key kind; do
    exe=$work/zip-$system/$top/bin/$key.exe
    check "$system $key.exe imports only system DLLs" imports_only_system "$exe"
    check "$system $key.exe is hardened" exe_hardened "$exe"
    [ $runs = yes ] || continue
    reference=
    [ "$kind" = dialog ] && reference=$build/dialog/win32/dialog_win32_template_$key.exe
    check "$system $key.exe's resources" wine "$build/package_resources_test.exe" "$exe" "$build/packaging/$key.ico" $reference
    if [ "$kind" = console ]; then
      check "$system $key.exe --version from the unpacked .zip" test "$(wine "$exe" --version | tr -d '\r')" = "$key $version"
    fi
  done < <(programs "$build")
}
check_zip "$win64" win64
check_zip "$win32" win32

check_summary packaging
