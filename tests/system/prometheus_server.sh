#!/usr/bin/env bash
# The Prometheus form end to end, as a site runs it: the packaged service's
# own command (systemd/mirekast-prometheus.service, with this binary and a
# folder of this check in place of /usr/bin and node_exporter's folder) writes
# the exposition again as soon as the last one is in place into a real
# node_exporter's textfile folder, and a Prometheus server of this check's own
# scrapes node_exporter every 10 seconds (node_exporter takes seconds to
# serve the tens of thousands of series of a busy machine), for over a minute,
# while a process of this check keeps a CPU busy.  Then, in PromQL:
# - rate() of Processor's busy seconds summed over the CPUs agrees with
#   node_exporter's node_cpu_seconds_total, every mode but idle and iowait
#   (the same /proc/stat, read by another program), within 0.05 CPU;
# - rate() of the loaded process's CPU seconds is 1.0 within 0.1 (on a
#   machine too busy to give it a whole CPU, what /proc/PID/stat says it got);
# - the README's alert on the file's age loads, matches the file and stays
#   quiet.
# Every server listens on 127.0.0.1 only, on a free port, and is stopped by
# its pid.  Needs prometheus, prometheus-node-exporter and python3 (Debian's
# packages, which scripts/test installs).
. "$(dirname "$0")/common.bash"

PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || skip "python3 is not installed"
command -v prometheus >/dev/null || skip "prometheus (Debian package prometheus) is not installed"
command -v prometheus-node-exporter >/dev/null ||
    skip "prometheus-node-exporter is not installed"
[ "$SANITIZED" = 0 ] || skip "a sanitized build takes longer a pass than the feeding cadence allows"

UNIT=$(cd "$(dirname "$0")/../.." && pwd)/systemd/mirekast-prometheus.service
[ -f "$UNIT" ] || fail "no service file at $UNIT"
TEXTFILE="$WORK/textfile"
mkdir "$TEXTFILE"

# The service's command, as systemd would run it: ExecStart without its key,
# the shell's -c text taken from between its quotes.
exec_start=$(sed -n 's/^ExecStart=//p' "$UNIT")
[ -n "$exec_start" ] || fail "the service has no ExecStart"
command_text=$(printf '%s\n' "$exec_start" | sed -n "s/^\/bin\/sh -c '\(.*\)'\$/\1/p")
[ -n "$command_text" ] || fail "ExecStart is not /bin/sh -c '...': $exec_start"
command_text=${command_text//\/usr\/bin\/mirekast /$BIN }
command_text=${command_text//\/var\/lib\/prometheus\/node-exporter/$TEXTFILE}
[[ $command_text == *"$BIN -a --format prometheus > $TEXTFILE/mirekast.prom.tmp"* ]] ||
    fail "the service's command is not what this check expects: $command_text"

free_port() {
    "$PYTHON" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

stop_by_pid() { # stop_by_pid PID: ends a process this check started
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

# ---- The load: one process of a name of its own that never sleeps.
cp /bin/sh "$WORK/mkload"
"$WORK/mkload" -c 'while :; do :; done' &
LOAD=$!
on_exit "stop_by_pid $LOAD"

# ---- The feeder: the service's command, again and again.
sh -c "$command_text" || fail "the service's command failed: $command_text"
promtool check metrics < "$TEXTFILE/mirekast.prom" > "$WORK/promtool.out" 2>&1 ||
    fail "promtool check metrics: $(head -20 "$WORK/promtool.out")"
[ ! -s "$WORK/promtool.out" ] || fail "promtool check metrics says: $(head -20 "$WORK/promtool.out")"
(
    while :; do
        sh -c "$command_text" || echo "feeding failed" >&2
        sleep 0.5
    done
) 2> "$WORK/feeder.err" &
FEEDER=$!
on_exit "stop_by_pid $FEEDER"

# ---- node_exporter: the textfile collector, and its own CPU figures.
EXPORTER_PORT=$(free_port)
prometheus-node-exporter --web.listen-address="127.0.0.1:$EXPORTER_PORT" \
    --collector.disable-defaults --collector.textfile --collector.cpu \
    --collector.textfile.directory="$TEXTFILE" > "$WORK/exporter.log" 2>&1 &
EXPORTER=$!
on_exit "stop_by_pid $EXPORTER"

# ---- Prometheus: its own configuration and data, scraping every 10 seconds.
SERVER_PORT=$(free_port)
README=$(cd "$(dirname "$0")/../.." && pwd)/README.md
awk '/^```yaml/ { inside = 1; next } /^```/ { inside = 0 } inside' "$README" > "$WORK/rules.yml"
grep -q MirekastExpositionStale "$WORK/rules.yml" || fail "no alert rule in $README"
promtool check rules "$WORK/rules.yml" > "$WORK/rules.out" 2>&1 ||
    fail "promtool check rules on the README's rule: $(cat "$WORK/rules.out")"
cat > "$WORK/prometheus.yml" <<EOF
global:
  scrape_interval: 10s
  scrape_timeout: 10s
  evaluation_interval: 10s
rule_files: ["$WORK/rules.yml"]
scrape_configs:
  - job_name: node
    static_configs:
      - targets: ["127.0.0.1:$EXPORTER_PORT"]
EOF
prometheus --config.file="$WORK/prometheus.yml" --storage.tsdb.path="$WORK/data" \
    --web.listen-address="127.0.0.1:$SERVER_PORT" > "$WORK/prometheus.log" 2>&1 &
SERVER=$!
on_exit "stop_by_pid $SERVER"

# query PROMQL: the value of a query that yields one number, on stdout.
query() {
    "$PYTHON" - "http://127.0.0.1:$SERVER_PORT/api/v1/query" "$1" <<'PY'
import json, sys, urllib.parse, urllib.request
url = sys.argv[1] + "?" + urllib.parse.urlencode({"query": sys.argv[2]})
answer = json.load(urllib.request.urlopen(url, timeout=10))
result = answer["data"]["result"]
if answer["status"] != "success" or len(result) != 1:
    sys.exit("query %s: %s" % (sys.argv[2], json.dumps(answer)[:400]))
print(result[0]["value"][1])
PY
}
up() { [ "$(query 'up{job="node"}' 2>/dev/null)" = 1 ]; }
deadline=$((SECONDS + 60))
until up; do
    [ $SECONDS -lt $deadline ] || fail "Prometheus does not scrape node_exporter: $(tail -5 "$WORK/prometheus.log") $(tail -5 "$WORK/exporter.log")"
    sleep 1
done
note "node_exporter on 127.0.0.1:$EXPORTER_PORT, Prometheus on 127.0.0.1:$SERVER_PORT, load pid $LOAD"

# About a minute of scrapes, and the load's own CPU time over it from
# /proc, the peer that says whether this busy machine gave it a whole CPU.
ticks() { awk '{ print $14 + $15 }' "/proc/$LOAD/stat"; }
hz=$(getconf CLK_TCK)
WINDOW=90
sleep 5
start_ticks=$(ticks)
start_time=$(date +%s.%N)
sleep "$WINDOW"
end_ticks=$(ticks)
end_time=$(date +%s.%N)
peer_load=$(awk -v a="$start_ticks" -v b="$end_ticks" -v s="$start_time" -v e="$end_time" -v hz="$hz" \
    'BEGIN { printf "%.3f", (b - a) / hz / (e - s) }')

[ ! -s "$WORK/feeder.err" ] || fail "the service's command failed while feeding: $(head -5 "$WORK/feeder.err")"
[ "$(query "max_over_time(node_textfile_scrape_error[${WINDOW}s])")" = 0 ] ||
    fail "node_exporter could not read the file"
scrapes=$(query "count_over_time(mirekast_system_processes[${WINDOW}s])") || fail "$scrapes"
[ "$scrapes" -ge 4 ] || fail "only $scrapes scrapes of mirekast's series in ${WINDOW} s"

ours=$(query "sum(rate(mirekast_processor_busy_seconds_total[${WINDOW}s]))") || fail "$ours"
theirs=$(query "sum(rate(node_cpu_seconds_total{mode!~\"idle|iowait\"}[${WINDOW}s]))") || fail "$theirs"
load=$(query "sum(rate(mirekast_process_cpu_seconds_total{name=\"mkload\",pid=\"$LOAD\"}[${WINDOW}s]))") ||
    fail "$load"
note "$scrapes scrapes in ${WINDOW} s; busy CPUs: mirekast $ours, node_exporter $theirs; load: mirekast $load, /proc $peer_load"

age=$(query 'time() - node_textfile_mtime_seconds{file=~".*mirekast\\.prom"}') || fail "$age"
stale=$(query 'count(ALERTS{alertname="MirekastExpositionStale"}) or vector(0)') || fail "$stale"
note "the file's age by the README's alert: $age s; alerts firing or pending: $stale"
awk -v a="$age" 'BEGIN { exit !(a >= 0 && a < 120) }' || fail "the file is $age s old"
[ "$stale" = 0 ] || fail "the README's alert fires on a fresh file"

awk -v a="$ours" -v b="$theirs" 'BEGIN { d = a - b; exit !(d <= 0.05 && d >= -0.05) }' ||
    fail "processor busy seconds: rate $ours against node_exporter's $theirs (more than 0.05 CPU apart)"
awk -v a="$load" -v b="$peer_load" 'BEGIN { d = a - b; exit !(d <= 0.1 && d >= -0.1) }' ||
    fail "the load's CPU seconds: rate $load against $peer_load CPU from /proc/$LOAD/stat"
if awk -v p="$peer_load" 'BEGIN { exit !(p >= 0.95) }'; then
    awk -v a="$load" 'BEGIN { exit !(a >= 0.9 && a <= 1.1) }' ||
        fail "the load's CPU seconds: rate $load, not 1.0 within 0.1"
else
    note "the machine gave the load $peer_load CPU, not a whole one: its rate was held against that"
fi
note "all checks passed"
