#!/usr/bin/env bash
# A local user names a process so as to reach the viewer's terminal: an escape
# sequence that retitles it, a bell, a newline that would forge report lines,
# a tab and DEL.  No such byte reaches any output form; each shows as '?'.
. "$(dirname "$0")/common.bash"

# ESC ] 0 ; T BEL newline F A K E tab DEL: 14 bytes, within the kernel's 15.
RAW=$(printf 'e\033]0;T\a\nFAKE\t\177')
SAFE='e?]0;T??FAKE??'

command -v perl >/dev/null || skip "perl is not installed (scripts/test installs it)"

# Renamed through /proc/self/comm, as prctl(PR_SET_NAME) does, in one write.
perl -e 'open(my $comm, ">", "/proc/self/comm") or die; syswrite($comm, $ARGV[0]) or die;
         close($comm); sleep 300' "$RAW" &
NAMED=$!
on_exit "kill $NAMED 2>/dev/null; wait $NAMED 2>/dev/null"
named() { [ "$(head -c 14 "/proc/$NAMED/comm")" = "$RAW" ]; }
wait_until 10 named || fail "could not name a process"

# Started from a file of that name (the name an exec gives).
mkdir "$WORK/bin"
cp "$(command -v sleep)" "$WORK/bin/$RAW"
"$WORK/bin/$RAW" 300 &
EXECUTED=$!
on_exit "kill $EXECUTED 2>/dev/null; wait $EXECUTED 2>/dev/null"
executed() { [ "$(head -c 14 "/proc/$EXECUTED/comm")" = "$RAW" ]; }
wait_until 10 executed || fail "could not start a process under the name"

# run_escaped LABEL ARGS...: a clean run (run, in common.bash) with no
# control byte in its output but newlines (and the tabs that indent -L
# listings), and no forged line.
run_escaped() {
    local label=$1
    run "$@"
    if LC_ALL=C grep -q $'[\x01-\x08\x0b-\x1f\x7f]' "$WORK/$label.out"; then
        fail "$label: a control byte in the output: $(LC_ALL=C grep -n $'[\x01-\x08\x0b-\x1f\x7f]' "$WORK/$label.out" | head -n 3 | od -c | head -n 5)"
    fi
    if [ "$label" != listing ] && grep -q $'\t' "$WORK/$label.out"; then
        fail "$label: a tab in the output"
    fi
    if grep -q '^FAKE' "$WORK/$label.out"; then
        fail "$label: a forged line: $(grep '^FAKE' "$WORK/$label.out" | head -n 2)"
    fi
}

run_escaped listing -L -a
[ "$(grep -cxF "$(printf '\t\t%s' "$SAFE")" "$WORK/listing.out")" -eq 2 ] ||
    fail "listing: not both processes as '$SAFE'"
run_escaped tables -a
run_escaped list -a -l
run_escaped long_list -a -ll
run_escaped set -s '{Process' -i "$SAFE" -c 'ID Process}' -s '{Thread' -i "$SAFE/0" -c 'ID Process}' -l -d
got=$(grep -F "Process : $SAFE : ID Process = " "$WORK/set.out" | sed 's/.* = //' | sort -n | tr '\n' ' ')
want=$(printf '%s\n' "$NAMED" "$EXECUTED" | sort -n | tr '\n' ' ')
[ "$got" = "$want" ] || fail "set: pids [$got], expected [$want]"
[ "$(grep -c "^Thread : $SAFE/0 : ID Process = " "$WORK/set.out")" -eq 2 ] ||
    fail "set: not both threads: $(cat "$WORK/set.out")"
note "two processes named '$(printf '%q' "$RAW")' show as '$SAFE' in every form and select by it"
