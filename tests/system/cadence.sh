#!/usr/bin/env bash
# The period of --interval on a busy machine: with a few thousand sleeping
# threads to read at every pass, `-a --count 11 --interval 0.2` stamps its
# samples 0.2 s apart (within 25 ms) and spans 2.0 s; `-r1 --count 4
# --interval 0.5` shares collections between neighbouring samples, so its
# samples are 0.5 s apart and every rate is present in each.
. "$(dirname "$0")/common.bash"

command -v python3 >/dev/null || skip "python3 is not installed"

THREADS=${THREADS:-3000}

# The sleepers: THREADS threads that wait on an event until standard input
# ends; "ready" once all run.
cat > "$WORK/sleepers.py" <<'EOF_PY'
import sys, threading
threading.stack_size(64 * 1024)
done = threading.Event()
for _ in range(int(sys.argv[1]) - 1):
    threading.Thread(target=done.wait, daemon=True).start()
print("ready", flush=True)
sys.stdin.read()
EOF_PY
mkfifo "$WORK/hold"
python3 "$WORK/sleepers.py" "$THREADS" < "$WORK/hold" > "$WORK/sleepers.out" &
SLEEPERS=$!
exec 3> "$WORK/hold"
on_exit "exec 3>&-; kill $SLEEPERS 2>/dev/null; wait $SLEEPERS 2>/dev/null"
ready() { grep -q ready "$WORK/sleepers.out"; }
wait_until 30 ready || fail "the sleepers did not start"
[ "$(ls "/proc/$SLEEPERS/task" | wc -l)" -ge "$THREADS" ] || fail "fewer than $THREADS sleeping threads"

# stamps FILE: the stamps of a JSON Lines report, in seconds, one per line.
stamps() {
    python3 - "$1" <<'EOF_PY'
import datetime, json, sys
for line in open(sys.argv[1]):
    stamp = json.loads(line)["time"]
    moment = datetime.datetime.strptime(stamp, "%Y-%m-%dT%H:%M:%S.%fZ")
    print("%.3f" % moment.replace(tzinfo=datetime.timezone.utc).timestamp())
EOF_PY
}

# check_period FILE COUNT PERIOD TOLERANCE SPAN SPAN_TOLERANCE: COUNT stamps,
# each PERIOD after the one before within TOLERANCE, first to last SPAN within
# SPAN_TOLERANCE (seconds).
check_period() {
    stamps "$1" > "$1.stamps" || fail "$1: not JSON Lines with stamps"
    awk -v count="$2" -v period="$3" -v tol="$4" -v span="$5" -v spantol="$6" '
        function abs(x) { return x < 0 ? -x : x }
        NR > 1 {
            gap = $1 - last
            if (abs(gap - period) > tol + 0.0005) { printf "sample %d came %.3f s after the one before\n", NR, gap; bad = 1 }
        }
        NR == 1 { first = $1 }
        { last = $1 }
        END {
            if (NR != count) { printf "%d samples, not %d\n", NR, count; exit 1 }
            if (abs(last - first - span) > spantol + 0.0005) { printf "the run spans %.3f s\n", last - first; exit 1 }
            exit bad
        }' "$1.stamps" || fail "$1: $(tr '\n' ' ' < "$1.stamps")"
}

# gaps FILE: the time from each stamp to the next, in seconds, one per line.
gaps() { awk 'NR > 1 { printf "%.3f\n", $1 - last } { last = $1 }' "$1.stamps"; }

# slots FILE: the period each stamp falls in (25 ms early counts as on time).
# A sample starts on its period or, after a pass that overran, late in it:
# two in one period are a burst.  A gap shorter than the period right after a
# late one is the schedule coming back to its grid.
bursts() {
    awk 'NR == 1 { first = $1 }
         { slot = int(($1 - first) / 0.2 + 0.125) }
         NR > 1 && slot <= last { printf "%.3f ", $1 - first }
         { last = slot }' "$1.stamps"
}

# The cadence is a matter of time, and the machine may be shared: when a
# pass itself takes longer than the period (a gap late), the run is tried
# again, and after three such runs the check is skipped as one this machine
# cannot make now.  Two samples in one period are always a failure: that is a
# burst, or a period not kept.
cadence_checked=0
for attempt in 1 2 3; do
    run all -a --count 11 --interval 0.2 --format json
    stamps "$WORK/all.out" > "$WORK/all.out.stamps" || fail "all: not JSON Lines with stamps"
    [ "$(wc -l < "$WORK/all.out.stamps")" -eq 11 ] || fail "all: not 11 samples"
    burst=$(bursts "$WORK/all.out")
    [ -z "$burst" ] || fail "all: two samples in one period, at $burst(gaps: $(gaps "$WORK/all.out" | tr '\n' ' '))"
    if [ "$SANITIZED" = 0 ] && [ -z "$(gaps "$WORK/all.out" | awk '$1 > 0.2255')" ]; then
        check_period "$WORK/all.out" 11 0.2 0.025 2.0 0.1
        cadence_checked=1
        break
    fi
    note "all: attempt $attempt: passes longer than the period (load $(cut -d' ' -f1 /proc/loadavg)): $(gaps "$WORK/all.out" | tr '\n' ' ')"
done
if [ "$cadence_checked" = 1 ]; then
    note "all: 11 samples of $(($(wc -c < "$WORK/all.out") / 11)) bytes each, 0.2 s apart: $(gaps "$WORK/all.out" | tr '\n' ' ')"
fi

# -r1: four samples from five collections, every rate of every sample present.
run rates -s '{Processor' -i '*' -c '% Processor Time' '% Idle Time}' \
    -s '{Memory' -i '*' -c 'Pages/sec' 'Page Faults/sec}' -r1 --count 4 --interval 0.5 --format json
check_period "$WORK/rates.out" 4 0.5 0.025 1.5 0.05
python3 - "$WORK/rates.out" <<'EOF_PY' || fail "rates: a sample lacks a rate"
import json, sys
for number, line in enumerate(open(sys.argv[1]), 1):
    samples = json.loads(line)["samples"]
    missing = [s for s in samples if s["value"] is None or s["value"] == -1]
    if not samples or missing:
        print("sample %d: %d of %d without a value, e.g. %s" % (number, len(missing), len(samples), missing[:1]))
        sys.exit(1)
EOF_PY
note "rates: 4 samples 0.5 s apart, every rate present"
[ "$cadence_checked" = 1 ] || skip "the machine is too busy for a pass of $THREADS threads within 0.2 s; the rest passed"
