#!/usr/bin/env bash
# Runs every example command of the README and docs/*.md (the lines of their code blocks that start
# with "rgb565 ") with the rgb565 given, on test pictures made for the names they use, and fails
# when one is refused or writes a picture upside down: an example is what a reader copies, so a
# wrong one costs more than a wrong sentence. Each picture an example writes, and each plain raw
# image pack writes, is read back and must show the test picture's bright top above its dark
# bottom. Examples that cannot run here (a framebuffer device) are listed as skipped, with why.
#
#   scripts/check-doc-examples.sh PATH/TO/rgb565 [PAGE.md...]
#
# It needs bash and python3 alone, as CI has no imaging library: the pictures are written and read
# by scripts/lib/doc_examples.py. ctest runs it on the native build (the test docs_examples).
set -euo pipefail
if [ $# -lt 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PATH/TO/rgb565 [PAGE.md...]" >&2
  exit 2
fi
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
# Pages named on the command line are taken from where the script was started.
pages=()
for page in "$@"; do
  pages+=("$(cd "$(dirname "$page")" && pwd)/$(basename "$page")")
done
cd "$(dirname "$0")/.."
if [ ${#pages[@]} -eq 0 ]; then
  pages=(README.md docs/*.md)
fi
exec python3 scripts/lib/doc_examples.py "$program" "${pages[@]}"
