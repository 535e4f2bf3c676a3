#!/usr/bin/env bash
# A binary as Debian ships it: hardening.sh BINARY
# Built with the hardening flags (position-independent, relocations read-only
# and bound at load, stack protector, fortified libc calls) and stripped of
# its symbols and of the compiler's .comment section.
set -uo pipefail
binary=$1
. "$(dirname "$0")/checks.bash"
command -v readelf >/dev/null || { echo "readelf (binutils) is not installed"; exit 77; }

readelf -hldSW --dyn-syms "$binary" >"$scratch/elf" 2>&1 || { fail "readelf cannot read $binary"; finish; exit; }
has() { # has DESCRIPTION PATTERN: a line of readelf's report matches
    if grep -Eq "$2" "$scratch/elf"; then pass; else fail "$1"; fi
}
lacks() { # lacks DESCRIPTION PATTERN: no line matches
    if grep -Eq "$2" "$scratch/elf"; then fail "$1: $(grep -E "$2" "$scratch/elf" | head -n 1)"; else pass; fi
}
has "not a position-independent executable" 'Type: +DYN \(Position-Independent Executable'
has "relocations not read-only after load (no GNU_RELRO)" '^ +GNU_RELRO '
has "symbols not bound at load (no BIND_NOW)" '\(FLAGS\) +BIND_NOW|\(FLAGS_1\) +Flags: .*NOW'
has "no stack protector (__stack_chk_fail not called)" ' __stack_chk_fail(@|$)'
has "no fortified libc calls (no __*_chk)" ' __[a-z]+_chk(@|$)'
lacks "not stripped (it has a symbol table)" '\] \.symtab '
lacks "the compiler's .comment section is left" '\] \.comment '
finish
