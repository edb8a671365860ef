#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang, in build/fuzz) and runs each for SECONDS,
# 60 by default: scripts/fuzz.sh [SECONDS]. Fails when any target finds an input that crashes,
# reads outside its buffer, leaks, hangs or runs out of memory. Such an input is kept in the
# target's regressions folder, which the normal test suite replays in every build, so commit it
# with the mend.
#
# The targets are whatever the CMake files declare with add_fuzz_target (cmake/fuzzing.cmake): the
# configure step lists them, with their regressions and seed folders, in build/fuzz/fuzz-targets.tsv.
# New inputs that widen coverage collect in build/fuzz/corpus/<target>, kept from run to run.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
case "$seconds" in '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;; esac
build=build/fuzz

cmake --preset fuzz >/dev/null || exit 1
mapfile -t targets < <(cut -f1 "$build/fuzz-targets.tsv")
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets declared" >&2; exit 1; }
cmake --build --preset fuzz --target "${targets[@]}" || exit 1

failed=()
while IFS=$'\t' read -r -a fields; do
  name=${fields[0]}
  regressions=${fields[1]}
  seeds=("${fields[@]:2}")
  corpus=$build/corpus/$name
  mkdir -p "$corpus"
  echo "=== fuzz $name for ${seconds}s"
  # New coverage goes to the first folder only; the others are read. -timeout makes a hang a
  # finding; the artifact prefix puts every finding straight among the regression inputs.
  if ! "$build/fuzzers/$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$regressions/" "$corpus" "$regressions" "${seeds[@]}" 2>"$build/$name.log"; then
    tail -n 40 "$build/$name.log"
    failed+=("$name")
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" || true
  fi
done <"$build/fuzz-targets.tsv"

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: FINDINGS in ${failed[*]}: see the new files in their regressions folders"
  exit 1
fi
echo "fuzz: no findings"
