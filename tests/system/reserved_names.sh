#!/usr/bin/env bash
# Names a local user gives a process to hide others, to pass for the program's
# own instances, to collide in the forms for other programs or to be out of a
# set's reach: "" (which would end the list of names), "_Total" (the sum),
# "UNNAMED" (an object without instances), "a\xff" and "a\xfe" (not UTF-8,
# alike once shown), "a{b}" and "-x" (a brace and a leading dash in a set).
# Each one is listed, sampled and selected as a name of its own.
. "$(dirname "$0")/common.bash"

PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=$(command -v python3 || true)
[ -n "$PYTHON" ] || skip "python3 is not installed (scripts/test installs it)"

# start_named HEX: a process that names itself with the bytes HEX through
# prctl(PR_SET_NAME), as any program may, and then waits; its pid in STARTED.
start_named() {
    "$PYTHON" -c '
import ctypes, sys, time
name = bytes.fromhex(sys.argv[1])
if ctypes.CDLL(None).prctl(15, ctypes.c_char_p(name), 0, 0, 0) != 0:
    sys.exit(1)
time.sleep(300)' "$1" &
    STARTED=$!
    on_exit "kill $STARTED 2>/dev/null; wait $STARTED 2>/dev/null"
    local want=$1
    named() { [ "$(head -c 15 "/proc/$STARTED/comm" | od -An -tx1 | tr -d ' \n')" = "${want}0a" ]; }
    wait_until 10 named || fail "could not name a process with the bytes $1"
}

start_named ''
EMPTY=$STARTED
# A process started after the empty name, so listed after it.
sleep 300 &
LATER=$!
on_exit "kill $LATER 2>/dev/null; wait $LATER 2>/dev/null"
start_named "$(printf '_Total' | od -An -tx1 | tr -d ' \n')"
TOTAL=$STARTED
start_named "$(printf 'UNNAMED' | od -An -tx1 | tr -d ' \n')"
UNNAMED=$STARTED
start_named 61ff
FF=$STARTED
start_named 61fe
FE=$STARTED
start_named "$(printf 'a{b}' | od -An -tx1 | tr -d ' \n')"
BRACES=$STARTED
start_named "$(printf -- '-x' | od -An -tx1 | tr -d ' \n')"
DASH=$STARTED

# pids_of FILE INSTANCE: the ID Process values of the list lines of INSTANCE,
# sorted, on one line.
pids_of() {
    grep -F "Process : $2 : ID Process = " "$1" | sed 's/.* = //' | sort -n | tr '\n' ' '
}

# 1. The empty name hides nothing: a process listed after it and _Total are
#    still found, and the process itself is there as "[empty]".
run hidden -s '{Process' -i sleep '[empty]' _Total -c 'ID Process' 'Thread Count}' -l -d
grep -qxF "Process : sleep : ID Process = $LATER" "$WORK/hidden.out" ||
    fail "hidden: the sleep started after the empty name is missing: $(cat "$WORK/hidden.out")"
[ "$(pids_of "$WORK/hidden.out" '[empty]')" = "$EMPTY " ] ||
    fail "hidden: [empty] is not the empty-named process: $(grep -F '[empty]' "$WORK/hidden.out")"
grep -qxF "Process : _Total : ID Process = -1" "$WORK/hidden.out" ||
    fail "hidden: no _Total: $(cat "$WORK/hidden.out")"

# 2. "_Total" is the sum alone: one such row, no process id, and more threads
#    than any one of these processes has; the process is "[_Total]".
[ "$(grep -c '^Process : _Total : ' "$WORK/hidden.out")" -eq 2 ] ||
    fail "total: not one _Total row: $(grep '_Total' "$WORK/hidden.out")"
threads=$(grep '^Process : _Total : Thread Count = ' "$WORK/hidden.out" | sed 's/.* = //')
[ "$threads" -gt 8 ] || fail "total: a Thread Count of $threads is no sum over the machine"
run imposter -s '{Process' -i '[_Total]' -c 'ID Process}' -l -d
[ "$(pids_of "$WORK/imposter.out" '[_Total]')" = "$TOTAL " ] ||
    fail "total: [_Total] is not the process named _Total: $(cat "$WORK/imposter.out")"
run listing -L -a
awk '/^\tProcess$/ { inside = 1; next } /^\t[^\t ]/ { inside = 0 }
     inside && $0 == "\t\t_Total" { totals++ }
     END { exit totals == 1 ? 0 : 1 }' "$WORK/listing.out" ||
    fail "listing: Process does not list _Total exactly once"

# 3. "UNNAMED" keeps its instance in every form.
run unnamed_csv -s '{Process' -i '[UNNAMED]' -c 'ID Process}' --format csv
head -n 1 "$WORK/unnamed_csv.out" | grep -qF '\Process([UNNAMED])\ID Process"' ||
    fail "unnamed: the CSV column has no instance: $(head -n 1 "$WORK/unnamed_csv.out")"
run unnamed_json -s '{Process' -i '[UNNAMED]' -c 'ID Process}' --format json
grep -qF "\"instance\":\"[UNNAMED]\",\"index\":0,\"counter\":\"ID Process\",\"value\":$UNNAMED}" \
    "$WORK/unnamed_json.out" || fail "unnamed: JSON: $(cat "$WORK/unnamed_json.out")"

# 4. "a\xff" and "a\xfe" are the two instances of "a?" in every form: both
#    selected, no series twice in the Prometheus form, no sample twice in JSON.
run utf8 -s '{Process' -i 'a?' -c 'ID Process}' -l -d
want=$(printf '%s\n' "$FF" "$FE" | sort -n | tr '\n' ' ')
[ "$(pids_of "$WORK/utf8.out" 'a?')" = "$want" ] ||
    fail "utf8: a? selects [$(pids_of "$WORK/utf8.out" 'a?')], expected [$want]"
# The Prometheus form tells processes of one name apart by their pids.
run prom -s '{Process' -i '*' -c 'ID Process' 'Thread Count}' --format prometheus
series=$(grep -v '^#' "$WORK/prom.out" | sed 's/ [^ ]*$//')
[ -z "$(sort <<<"$series" | uniq -d)" ] ||
    fail "prometheus: series given twice: $(sort <<<"$series" | uniq -d | head -n 3)"
for pid in "$FF" "$FE"; do
    grep -qE "^mirekast_process_threads\{name=\"a\?\",pid=\"$pid\"\} [0-9]+\$" "$WORK/prom.out" ||
        fail "prometheus: no series a? for $pid"
done
LC_ALL=C grep -q $'\xef\xbf\xbd' "$WORK/prom.out" && fail "prometheus: a name shown as U+FFFD"
run json -s '{Process' -i '*' -c 'ID Process}' --format json
"$PYTHON" - "$WORK/json.out" "$FF" "$FE" <<'PY' || fail "json: $(head -c 300 "$WORK/json.out")"
import json, sys
sample = json.loads(open(sys.argv[1], encoding="utf-8").read())
keys = [(s["object"], s["instance"], s["index"], s["counter"]) for s in sample["samples"]]
twice = {k for k in keys if keys.count(k) > 1}
if twice:
    sys.exit("samples given twice: %s" % sorted(twice)[:3])
ours = {s["value"]: s["index"] for s in sample["samples"] if s["instance"] == "a?"}
if sorted(ours.get(int(p)) for p in sys.argv[2:]) != [0, 1]:
    sys.exit("a? is not indices 0 and 1 of the two processes: %s" % ours)
PY

# 5. A brace and a leading dash are reached by escaping them.
run escaped -s '{Process' -i 'a\{b\}' '\-x' -c 'ID Process}' -l -d
[ "$(pids_of "$WORK/escaped.out" 'a{b}')" = "$BRACES " ] ||
    fail "escaped: a\\{b\\} selects [$(pids_of "$WORK/escaped.out" 'a{b}')], not $BRACES"
[ "$(pids_of "$WORK/escaped.out" '-x')" = "$DASH " ] ||
    fail "escaped: \\-x selects [$(pids_of "$WORK/escaped.out" '-x')], not $DASH"

note "processes named \"\", _Total, UNNAMED, a\\xff, a\\xfe, a{b} and -x: each its own instance, none hiding or taking another's"
