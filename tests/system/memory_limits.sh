#!/usr/bin/env bash
# Memory that runs out anywhere, in the program's own code or in the standard
# containers of the Linux layer: under a sweep of address-space limits
# (ulimit -v) every run of -a and of a Thread set ends with exit code 0, or
# with "Failed to allocate memory." and exit code 1, never by a signal.
. "$(dirname "$0")/common.bash"

[ "$SANITIZED" = 0 ] || skip "a sanitized build cannot run under a limit of its address space"

MESSAGE='Failed to allocate memory.'
THREADS=(-s '{Thread' -i '*' -c '*}')

# The lowest limit, in kB, at which the program starts at all (below it the
# dynamic loader cannot map it, which is no run of ours).
start=
for limit in $(seq 1000 250 40000); do
    if (ulimit -v "$limit" && "$BIN" -v) > /dev/null 2>&1; then
        start=$limit
        break
    fi
done
[ -n "$start" ] || fail "the program does not start under any limit up to 40000 kB"

# sweep LABEL ARGS...: runs under limits from the start up in steps of
# 100 kB, until five runs in a row end with 0, or 40 limits have been tried
# (a machine with tens of thousands of threads needs more than that).
sweep() {
    local label=$1
    shift
    local limit=$start succeeded=0 failed=0 in_a_row=0 status
    while [ "$in_a_row" -lt 5 ] && [ "$limit" -lt $((start + 4000)) ]; do
        status=0
        (ulimit -v "$limit" && exec "$BIN" "$@") < /dev/null > /dev/null 2> "$WORK/$label.err" ||
            status=$?
        case $status in
        0)
            succeeded=$((succeeded + 1))
            in_a_row=$((in_a_row + 1))
            ;;
        1)
            [ "$(cat "$WORK/$label.err")" = "$MESSAGE" ] ||
                fail "$label at $limit kB: exit 1 with [$(head -c 500 "$WORK/$label.err")]"
            failed=$((failed + 1))
            in_a_row=0
            ;;
        *)
            fail "$label at $limit kB: exit status $status: $(head -c 500 "$WORK/$label.err")"
            ;;
        esac
        limit=$((limit + 100))
    done
    [ "$failed" -gt 0 ] || fail "$label: no limit was tight enough to fail an allocation"
    note "$label: $failed limits ended with the message and exit 1, $succeeded with 0, none by a signal"
}

sweep all -a
sweep threads "${THREADS[@]}"
