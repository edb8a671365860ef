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
# Asked of the kernel with a program of its own, so that the answer does not wait for a 32-bit C
# library (which only installing wine32 brings), and taken from that library where a folder that
# allows no programs to run holds the test program.
runs_32bit_programs() {
  if [ -z "${wine32_native:-}" ]; then
    wine32_native=no
    if ! i386_emulated && { runs_tiny_i386_program || /lib/ld-linux.so.2 --version >/dev/null 2>&1; }; then
      wine32_native=yes
    fi
  fi
  [ "$wine32_native" = yes ]
}

# runs_tiny_i386_program: runs a 93-byte static 32-bit x86 ELF program that only exits with 0 (an
# ELF header, one loadable segment at 0x08048000, and mov eax, 1; xor ebx, ebx; int 0x80). A kernel
# without IA-32 emulation refuses it with "Exec format error".
runs_tiny_i386_program() {
  local program status
  program=$(mktemp "${TMPDIR:-/tmp}/i386-check.XXXXXX") || return 1
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$program"
  chmod +x "$program"
  "$program" 2>/dev/null
  status=$?
  rm -f "$program"
  return $status
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
