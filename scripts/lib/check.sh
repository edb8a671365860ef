# shellcheck shell=bash disable=SC2034
# Sourced by the scripts/check-*.sh scripts that check what the builds and scripts/package.sh
# made: the counting of checks and their report, the builds' folders, and a temporary folder that
# goes when the script ends. A script counts each check with pass or fail (or expect and check,
# which call them), goes on past a failure so that one run names every fault, and ends with
# check_summary, whose status is the script's.
#
# Sourcing it changes to the source tree's top folder, and sets:
#   root      the source tree;
#   native    build/native, win32 build/win32, win64 build/win64: the builds of the presets;
#   packages  build/packages, where scripts/package.sh puts the packages.

cd "$(dirname "${BASH_SOURCE[0]}")/../.." || exit 1
root=$PWD
native=$root/build/native
win32=$root/build/win32
win64=$root/build/win64
packages=$root/build/packages

passed=0 failed=0
pass() { passed=$((passed + 1)); }
# fail MESSAGE...: one failed check, named on standard error.
fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}
# expect DESCRIPTION EXPECTED ACTUAL
expect() {
  if [ "$2" = "$3" ]; then pass; else fail "$1: expected
$2
got
$3"; fi
}
# check DESCRIPTION COMMAND...: one check; the command's output is shown only when it fails.
check() {
  local description=$1 output
  shift
  if output=$("$@" 2>&1); then pass; else fail "$description${output:+:
$output}"; fi
}

# build_version BUILD_DIR: the version project() in CMakeLists.txt names, as that build wrote it.
build_version() { cat "$1/packaging/version.txt"; }
# programs BUILD_DIR: "key kind" lines of the programs that build makes, kind dialog or console.
programs() { tr ':' ' ' <"$1/packaging/programs.txt"; }

# make_work_dir NAME [COMMAND]: sets work to a new temporary folder named after NAME, removed when
# the script exits, after COMMAND runs (for what must stop before its files can go).
make_work_dir() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 1
  check_before_cleanup=${2:-}
  trap 'check_cleanup' EXIT
}
check_cleanup() {
  [ -z "$check_before_cleanup" ] || $check_before_cleanup
  rm -rf "$work"
}

# check_summary NAME: "NAME: P passed, F failed"; its status, the script's last, is 0 when none failed.
check_summary() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
