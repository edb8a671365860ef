# shellcheck shell=bash
# Sourced by the scripts that run the Win32 programs under Wine, to tell a machine on which Wine
# cannot start from one on which it can.
#
# Wine's loader for 32-bit Windows programs is itself a 32-bit Linux program. A kernel built or
# started without IA-32 emulation refuses every such program ("Exec format error"), so Wine cannot
# start there and no Win32 test can run. An emulator that binfmt_misc starts for 32-bit programs
# (qemu-i386) gets Wine going, but Debian 12's qemu 7.2 crashes some of the tests, so a machine
# that runs 32-bit programs only that way counts as one that cannot.

# runs_32bit_programs: whether the kernel runs 32-bit x86 programs itself; the answer is cached.
runs_32bit_programs() {
  if [ -z "${wine32_native:-}" ]; then
    wine32_native=yes
    i386_emulated && wine32_native=no
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || wine32_native=no
  fi
  [ "$wine32_native" = yes ]
}

# i386_emulated: whether an enabled binfmt_misc entry hands 32-bit x86 programs to an emulator.
i386_emulated() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null &&
      grep -qx 'magic 7f454c4601010100000000000000000002000300' "$entry" && return 0
  done
  return 1
}

# no_wine WHAT: the one loud line saying that WHAT (the steps that run Windows programs) did not run.
no_wine() {
  echo "SKIPPED: this machine cannot execute 32-bit programs, so Wine cannot start: $1 not run" >&2
}
