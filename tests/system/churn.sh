#!/usr/bin/env bash
# Churn: while all-object tables (-a) run again and again and a repeat run
# samples every Process and Thread counter, hundreds of short processes and
# threads start and end.  No run crashes or writes on standard error, every
# report stays well formed, and the instances of a process that went away
# read -1 from then on.
. "$(dirname "$0")/common.bash"

perl -Mthreads -e 1 2>/dev/null || skip "perl with threads is not installed"

CHURN_SECONDS=12

# The churner: batches of short sleeps, programs that end at once and perl
# processes of four threads each; it counts what it started and prints
# "PROCESSES THREADS" when the time is up and enough have started.  Each perl process prints how many
# threads it ran.
cat > "$WORK/churn.bash" <<'EOF'
work=$1 seconds=$2
processes=0
end=$((SECONDS + seconds))
# On a loaded machine the time alone starts too few: go on to 200 processes
# (and so well over 100 threads), for a minute at most.
while [ "$SECONDS" -lt "$end" ] || { [ "$processes" -lt 200 ] && [ "$SECONDS" -lt $((end + 60)) ]; }; do
    for i in 1 2 3; do
        sleep "0.$((RANDOM % 3))$((RANDOM % 10))" &
        processes=$((processes + 1))
    done
    perl -Mthreads -e '
        my @threads = map { threads->create(sub { select(undef, undef, undef, rand(0.3)) }) } 1 .. 4;
        $_->join for @threads;
        print scalar(@threads), "\n";' >> "$work/threads.log" &
    /bin/true
    processes=$((processes + 2))
    sleep 0.05
    processes=$((processes + 1))
    # Reap now and then, so that the population stays bounded.
    [ $((processes % 60)) -ne 0 ] || wait
done
wait
echo "$processes $(awk '{ n += $1 } END { print n + 0 }' "$work/threads.log")" > "$work/churned"
EOF
: > "$WORK/threads.log"

# A process of a name of its own, ended while the repeat run samples it.
ln -s "$(command -v sleep)" "$WORK/mkvictim"
"$WORK/mkvictim" 300 &
VICTIM=$!
VICTIM_PID=$VICTIM
on_exit "kill $VICTIM_PID 2>/dev/null"

bash "$WORK/churn.bash" "$WORK" "$CHURN_SECONDS" &
CHURNER=$!
on_exit "kill $CHURNER 2>/dev/null"

# The repeat run starts amid the churn, so that many of the instances it
# registers go away while it samples them.
churning() { [ -s "$WORK/threads.log" ]; }
wait_until 10 churning || fail "the churner started no threads"

"$BIN" -s '{Process' -i '*' -c '*}' -s '{Thread' -i '*' -c '*}' -r -l -d \
    < /dev/null > "$WORK/repeat.out" 2> "$WORK/repeat.err" &
REPEAT=$!
on_exit "kill -KILL $REPEAT 2>/dev/null"

# Passes of the repeat run begun so far: each prints one _Total line.
passes() { grep -c '^Process : _Total : ID Process = ' "$WORK/repeat.out"; }
at_least_passes() { [ "$(passes)" -ge "$1" ]; }
repeat_alive() { kill -0 "$REPEAT" 2>/dev/null || fail "the repeat run ended early: $(cat "$WORK/repeat.err")"; }

# All-object tables, one run after the other, until the churn ends.
tables=0
runs=0
hex_failed=0
while kill -0 "$CHURNER" 2>/dev/null; do
    status=0
    "$BIN" -a < /dev/null > "$WORK/all.out" 2> "$WORK/all.err" || status=$?
    runs=$((runs + 1))
    [ "$status" -eq 0 ] || fail "-a run $runs: exit status $status: $(head -c 2000 "$WORK/all.err")"
    [ ! -s "$WORK/all.err" ] || fail "-a run $runs: standard error: $(head -c 2000 "$WORK/all.err")"
    result=$(check_tables "$WORK/all.out") || {
        cp "$WORK/all.out" "${TMPDIR:-/tmp}/mirekast-churn-bad-tables.txt"
        fail "-a run $runs: malformed tables (kept in ${TMPDIR:-/tmp}/mirekast-churn-bad-tables.txt): $result"
    }
    tables=$((tables + ${result#tables=}))
    hex_failed=$((hex_failed + $(grep -o ffffffff "$WORK/all.out" | wc -l)))
    # The victim goes once the repeat run has sampled it a few times.
    if [ -n "$VICTIM" ] && at_least_passes 3; then
        kill "$VICTIM"
        wait "$VICTIM" 2>/dev/null
        VICTIM=
        KILLED_AT=$(passes)
    fi
done
wait "$CHURNER" || fail "the churner failed"
read -r PROCESSES THREADS < "$WORK/churned"
[ -z "$VICTIM" ] || fail "the repeat run did not reach three passes during the churn"

# Two more passes, both collected after the victim was gone.
repeat_alive
wait_until 30 at_least_passes $((KILLED_AT + 3)) || fail "the repeat run stopped making passes"
repeat_alive
kill -TERM "$REPEAT"
status=0
wait "$REPEAT" || status=$?
[ "$status" -eq 143 ] || fail "the repeat run ended with status $status instead of by SIGTERM"
[ ! -s "$WORK/repeat.err" ] || fail "repeat run: standard error: $(head -c 2000 "$WORK/repeat.err")"
check_decimal_list "$WORK/repeat.out" Process Thread || fail "repeat run: malformed list"

# Split into passes (a Process line after Thread lines begins one); the
# victim's every counter reads its own figures before it went and -1 after.
victim=$(awk -v killed="$KILLED_AT" -v victim_pid="$VICTIM_PID" '
    BEGIN { pass = 1 }
    {
        object = $0; sub(/ : .*/, "", object)
        if (object == "Process" && previous == "Thread") pass++
        previous = object
    }
    / : mkvictim : | : mkvictim\/0 : / {
        value = $0; sub(/.* = /, "", value)
        if (pass < killed) {
            seen_before++
            if ($0 ~ / : ID Process = / && value != victim_pid) { print "before: " $0; bad = 1 }
        } else if (pass >= killed + 2) {
            seen_after++
            if (value != "-1") { print "after: " $0; bad = 1 }
        }
    }
    END {
        if (!seen_before || !seen_after) { print "victim lines before " seen_before + 0 ", after " seen_after + 0; bad = 1 }
        if (bad) exit 1
        print "lines before " seen_before ", after " seen_after
    }' "$WORK/repeat.out") || fail "the vanished process: $victim"

TOTAL_PASSES=$(passes)
note "churned $PROCESSES processes and $THREADS threads"
note "$runs -a runs, $tables tables, all well formed; $hex_failed ffffffff cells"
note "repeat run: $TOTAL_PASSES passes, lists well formed; vanished process $victim"
[ "$PROCESSES" -ge 200 ] || fail "only $PROCESSES processes churned"
[ "$THREADS" -ge 100 ] || fail "only $THREADS threads churned"
[ "$runs" -ge 3 ] || fail "only $runs -a runs during the churn"
