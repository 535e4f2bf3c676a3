#!/usr/bin/env bash
# Normal sampling runs leak nothing: one pass, -r1, -a, a name listing, and a
# repeat run ended by its closed output pipe.  The plain build runs under
# valgrind; a build with AddressSanitizer (where valgrind cannot run) under
# its LeakSanitizer.
. "$(dirname "$0")/common.bash"

if [ "$SANITIZED" = 1 ]; then
    CHECKER="LeakSanitizer"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:exitcode=99"
    export LSAN_OPTIONS="exitcode=99"
else
    command -v valgrind >/dev/null || skip "valgrind is not installed (scripts/test installs it)"
    CHECKER="valgrind"
fi

# checked LABEL ARGS... [| READER...]: runs one sampling run under the leak
# checker; it must end with 0 and the checker must report no error.
checked() {
    local label=$1
    shift
    local args=()
    while [ $# -gt 0 ] && [ "$1" != "|" ]; do
        args+=("$1")
        shift
    done
    [ $# -eq 0 ] || shift
    local reader=("${@:-cat}")
    local run=("$BIN" "${args[@]}")
    if [ "$SANITIZED" = 0 ]; then
        run=(valgrind --quiet --leak-check=full --show-leak-kinds=definite,indirect
            --errors-for-leak-kinds=definite,indirect --error-exitcode=99
            --log-file="$WORK/$label.log" "${run[@]}")
    fi
    timeout -s KILL $((120 * SLOW)) "${run[@]}" < /dev/null 2> "$WORK/$label.err" |
        "${reader[@]}" > "$WORK/$label.out"
    local status=${PIPESTATUS[0]}
    if [ "$SANITIZED" = 0 ]; then
        cat "$WORK/$label.log" >> "$WORK/$label.err"
    fi
    [ "$status" -eq 0 ] || fail "$label: exit status $status under $CHECKER: $(head -c 4000 "$WORK/$label.err")"
    [ ! -s "$WORK/$label.err" ] || fail "$label: $CHECKER reported: $(head -c 4000 "$WORK/$label.err")"
    [ -s "$WORK/$label.out" ] || fail "$label: no report"
    note "$label: no leak, no error under $CHECKER"
}

checked once -s '{Process' -i '*' -c '*}' -s '{Memory' -i '*' -c '*}'
checked long_list -s '{Processor' -i '*' -c '*}' -s '{System' -i '*' -c '*}' -ll -d
checked repeat_once -s '{Processor' -i '*' -c '*}' -s '{Thread' -i '*' -c 'ID Thread}' -r1 -l
checked all -a
checked names -L -a
checked repeat -s '{Processor' -i _Total -c '% Processor Time}' -r -l '|' head -n 3
[ "$(wc -l < "$WORK/repeat.out")" -eq 3 ] || fail "repeat: expected three passes"
