#!/usr/bin/env bash
# Checks the Windows installer that scripts/package.sh made (of the 64-bit programs), as a Windows
# user would meet it, under 64-bit Wine in a prefix of its own that is deleted afterwards:
#   - the .msi names the version rgb565 --version answers, and is an x64 package;
#   - a silent install (msiexec /i ... /qn) puts exactly the .zip's files under Program Files,
#     a Start-menu shortcut for each dialog, with the dialog's icon, and registers an uninstaller
#     of the same version;
#   - a new console finds rgb565 through PATH, from a folder that does not hold it;
#   - a silent uninstall (msiexec /x ... /qn) leaves no file, shortcut, PATH entry or uninstaller.
# The programs come from the list the win64 build writes (build/win64/packaging/programs.txt).
# Wine runs as its 64-bit loader (the build's, cmake/wine-env.sh), so no 32-bit support is needed.
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/check.sh
source "$(dirname "$0")/lib/check.sh"
# shellcheck source=../cmake/wine-env.sh
source "$root/cmake/wine-env.sh"
version=$(build_version "$win64") || exit 1
msi=$packages/rgb565-tools-$version-win64.msi
zip=$packages/rgb565-tools-$version-win64.zip
product="RGB565 Tools"

for file in "$msi" "$zip"; do
  [ -f "$file" ] || { echo "FAIL: no $file: run scripts/package.sh first" >&2; exit 1; }
done

# Wine's server keeps files of the prefix open until it stops.
stop_wine() { wineserver -k >/dev/null 2>&1; }
make_work_dir check-msi stop_wine
# A prefix of the test's own, so that nothing is left in the build's; no Mono or Gecko, and no
# menu entries written into the Linux desktop for the shortcuts.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wine_env "$win64"

# table NAME: one of the .msi's tables as text, its three header lines left out.
table() { (cd "$work" && msiinfo export "$msi" "$1") | tail -n +4 | tr -d '\r'; }
# property NAME: a value of the Property table.
property() { table Property | awk -F'\t' -v name="$1" '$1 == name { print $2 }'; }

echo "=== the .msi's tables"
expect "ProductVersion" "$version" "$(property ProductVersion)"
expect "ProductName" "$product" "$(property ProductName)"
product_code=$(property ProductCode)
# Each dialog's shortcut starts its program and shows its icon; no other program has one.
expected_shortcuts=$(programs "$win64" | while read -r key kind; do
  [ "$kind" = dialog ] && printf '[#%s.exe]\t%s.ico\n' "$key" "$key"
done)
expect "the programs' shortcuts (target, icon)" "$expected_shortcuts" \
  "$(table Shortcut | awk -F'\t' '$5 ~ /\.exe]$/ { print $5 "\t" $9 }')"
expect "the PATH entry" $'=-*PATH\t[~];[BINDIR]' "$(table Environment | cut -f2,3)"
# An x64 package whose every component is 64-bit (attribute 256): Windows then installs it into
# the 64-bit Program Files and writes the 64-bit registry, not their 32-bit views.
expect "the package's platform" "x64;1033" "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')"
expect "components that are not 64-bit" "" "$(table Component | awk -F'\t' 'int($4 / 256) % 2 == 0 { print $1 }')"

echo "=== install"
wine wineboot --init >/dev/null 2>&1
wineserver -w
# unix_path VARIABLE PATH: where the folder VARIABLE names in the prefix, then PATH in it, lies.
unix_path() {
  local folder
  folder=$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')
  folder=$(wine winepath.exe -u "$folder" 2>/dev/null | tr -d '\r')
  [ -d "$folder" ] || { echo "FAIL: the prefix has no folder %$1%" >&2; exit 1; }
  echo "${folder%/}/$2"
}
install_dir=$(unix_path ProgramFiles "$product") || exit 1
# A per-machine install puts its shortcuts in the Start menu of all users; Wine 8 puts them in the
# installing user's. Either will do; after the uninstall, neither may be left.
menu_dirs=("$(unix_path ProgramData "Microsoft/Windows/Start Menu/Programs/$product")"
  "$(unix_path APPDATA "Microsoft/Windows/Start Menu/Programs/$product")") || exit 1
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"
environment_key="HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"

if ! wine msiexec /i "$(wine winepath.exe -w "$msi" | tr -d '\r')" /qn; then
  fail "msiexec /i failed"
fi
wineserver -w

# The installed files are the .zip's, which scripts/check-packages.sh checks one by one.
unzip -Z1 "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort >"$work/zipped"
([ -d "$install_dir" ] && cd "$install_dir" && find . ! -type d | sed 's|^\./||' | sort) >"$work/installed"
expect "the installed files are the .zip's" "$(cat "$work/zipped")" "$(cat "$work/installed")"
expect "the installed rgb565.exe is the .zip's" "$(unzip -p "$zip" "*/bin/rgb565.exe" | sha256sum)" \
  "$(sha256sum <"$install_dir/bin/rgb565.exe")"

while read -r key kind; do
  [ "$kind" = dialog ] || continue
  name=$(table Shortcut | awk -F'\t' -v target="[#$key.exe]" '$5 == target { print $3 }')
  link=${menu_dirs[0]}/${name##*|}.lnk
  [ -f "$link" ] || link=${menu_dirs[1]}/${name##*|}.lnk
  if [ ! -f "$link" ]; then
    fail "no Start-menu shortcut ${name##*|}.lnk for $key in ${menu_dirs[*]}"
  elif ! grep -aqi "$key.exe" "$link"; then
    fail "the shortcut $link does not name $key.exe"
  else
    pass
  fi
done < <(programs "$win64")

expect "the uninstaller's version" "$version" \
  "$(wine reg query "$uninstall_key" /v DisplayVersion 2>/dev/null | tr -d '\r' | awk '$1 == "DisplayVersion" { print $3 }')"

# A console started afresh reads PATH from the registry, where the install put the program's folder.
mkdir -p "$work/elsewhere"
expect "rgb565 --version through PATH" "rgb565 $version" \
  "$(cd "$work/elsewhere" && wine cmd /c "rgb565 --version" 2>&1 | tr -d '\r')"

echo "=== uninstall"
if ! wine msiexec /x "$(wine winepath.exe -w "$msi" | tr -d '\r')" /qn; then
  fail "msiexec /x failed"
fi
wineserver -w
expect "files left in $install_dir" "" "$(find "$install_dir" 2>/dev/null)"
expect "shortcuts left" "" "$(find "${menu_dirs[@]}" 2>/dev/null)"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then
  fail "the uninstaller is still registered: $uninstall_key"
else
  pass
fi
expect "the PATH entry left" "" \
  "$(wine reg query "$environment_key" /v PATH 2>/dev/null | tr -d '\r' | grep -i "$product")"
# Wine's cmd may end with status 0 and no message for a command it cannot find: the answer is what
# tells.
expect "rgb565 through PATH after the uninstall" "" \
  "$(cd "$work/elsewhere" && wine cmd /c "rgb565 --version" 2>/dev/null | tr -d '\r' | grep '^rgb565')"

check_summary msi
