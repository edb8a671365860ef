#!/usr/bin/env bash
# Runs a command whose writes fail past BYTES per file, as they would on a full disk, for tests of
# programs that cannot limit their own writes (the Win32 tests under Wine):
#   with-file-size-limit.sh BYTES COMMAND [ARGUMENTS...]
# The signal such a write raises is ignored, and stays ignored through exec, so the write fails
# with EFBIG instead of ending the program.
set -eu
bytes=$1
shift
trap '' XFSZ
ulimit -f $(((bytes + 1023) / 1024))
exec "$@"
