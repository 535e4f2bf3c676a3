#!/usr/bin/env bash
# Output that goes away: when the reader of a pipe closes it, the run ends by
# itself with exit code 0 after the pass in which writing failed, not by
# SIGPIPE and not by being killed; a name listing ends with 0 too.
. "$(dirname "$0")/common.bash"

command -v timeout >/dev/null || skip "timeout (coreutils) is not installed"

SET=(-s '{Processor' -i _Total -c '% Processor Time}' -s '{Memory' -i '*' -c 'Available Bytes}')
DEADLINE=$((30 * SLOW))

# piped LABEL READER... -- ARGS...: runs the binary with ARGS, its standard
# output piped into READER; checks that the binary ended on its own with 0 and
# wrote nothing on standard error.  Leaves what the reader got in LABEL.out.
piped() {
    local label=$1
    shift
    local reader=()
    while [ "$1" != -- ]; do
        reader+=("$1")
        shift
    done
    shift
    local started=$SECONDS
    timeout -s KILL "$DEADLINE" "$BIN" "$@" < /dev/null 2> "$WORK/$label.err" |
        "${reader[@]}" > "$WORK/$label.out"
    local status=("${PIPESTATUS[@]}")
    local elapsed=$((SECONDS - started))
    case ${status[0]} in
    0) ;;
    137) fail "$label: still running after ${DEADLINE}s, killed" ;;
    141) fail "$label: killed by SIGPIPE" ;;
    *) fail "$label: exit status ${status[0]}" ;;
    esac
    [ ! -s "$WORK/$label.err" ] || fail "$label: standard error: $(cat "$WORK/$label.err")"
    note "$label: ended by itself with exit code 0 after ${elapsed}s"
}

# Three list lines are three passes (one line each); the fourth pass cannot be
# written, so the loop ends after it and its sleep: about four seconds.
piped list head -n 3 -- -s '{Processor' -i _Total -c '% Processor Time}' -l -r
[ "$(grep -c '^Processor : _Total : % Processor Time = 0x[0-9a-f]\{8\}$' "$WORK/list.out")" -eq 3 ] ||
    fail "list: expected three report lines, got: $(cat "$WORK/list.out")"

# Tables: the reader goes after the first lines of the first pass.
piped tables head -n 3 -- "${SET[@]}" -r
[ "$(wc -l < "$WORK/tables.out")" -eq 3 ] && grep -q '^_*Memory_*$' "$WORK/tables.out" ||
    fail "tables: unexpected output: $(cat "$WORK/tables.out")"

# A reader that is gone before the first report.
piped gone true -- "${SET[@]}" -r -l
piped gone_once true -- "${SET[@]}" -r1 -l

# A single pass of everything that cannot be written past its first bytes.
piped all head -c 100 -- -a
[ "$(wc -c < "$WORK/all.out")" -eq 100 ] || fail "all: the reader did not get 100 bytes"

# Listings, in every form, end the same way when the reader goes away
# after a few bytes, or before the first.
piped names_json head -c 10 -- -L -a --format json
[ "$(wc -c < "$WORK/names_json.out")" -eq 10 ] || fail "names_json: the reader did not get 10 bytes"
piped names head -c 10 -- -L -a
piped names_objects head -c 10 -- -LO -a
piped names_objects_json true -- -LO -a --format json
piped names_of_a_set true -- -L "${SET[@]}" --format csv
