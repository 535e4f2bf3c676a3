#!/usr/bin/env bash
# Standard output that fails.  A full device loses the report: the run says so
# on standard error, "Error: Failed to write standard output: <reason>.", and
# ends with exit code 5, in every output form and in repeat mode after its
# first pass.  A reader that went away (| head) is a normal end: exit code 0,
# nothing on standard error.
. "$(dirname "$0")/common.bash"

[ -c /dev/full ] || skip "/dev/full is not available"
command -v timeout >/dev/null || skip "timeout (coreutils) is not installed"

MESSAGE='Error: Failed to write standard output: No space left on device.'
DEADLINE=$((30 * SLOW))

# to_full LABEL ARGS...: the run writes into /dev/full and must end with 5
# and the message alone.
to_full() {
    local label=$1
    shift
    local status=0
    timeout -s KILL "$DEADLINE" "$BIN" "$@" < /dev/null > /dev/full 2> "$WORK/$label.err" || status=$?
    [ "$status" -eq 5 ] || fail "$label: exit status $status, expected 5: $(head -c 500 "$WORK/$label.err")"
    [ "$(cat "$WORK/$label.err")" = "$MESSAGE" ] ||
        fail "$label: standard error [$(head -c 500 "$WORK/$label.err")], expected [$MESSAGE]"
    note "$label: exit 5 with the message"
}

to_full all -a
to_full all_list -a -l
to_full long_list -a -ll -d
to_full names -L -a
to_full object_names -LO -a
to_full small -s '{Memory' -i '*' -c 'Available Bytes}' -l
to_full repeat -s '{Memory' -i '*' -c '*}' -r

status=0
timeout -s KILL "$DEADLINE" "$BIN" -s '{Processor' -i _Total -c '% Processor Time}' -r \
    < /dev/null 2> "$WORK/head.err" | head -n 1 > "$WORK/head.out"
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || fail "| head -n 1: exit status $status, expected 0"
[ ! -s "$WORK/head.err" ] || fail "| head -n 1: standard error: $(cat "$WORK/head.err")"
[ "$(wc -l < "$WORK/head.out")" -eq 1 ] || fail "| head -n 1: the reader got no line"
note "| head -n 1: exit 0, nothing on standard error"
