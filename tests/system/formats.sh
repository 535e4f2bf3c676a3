#!/usr/bin/env bash
# The machine-readable forms, read by the programs they are for, on this
# machine's live data: Python's csv and json modules, promtool, and a real
# node_exporter whose textfile collector serves the exposition.  Also: --count
# ends by itself whatever standard input is, and --interval spaces the passes.
. "$(dirname "$0")/common.bash"

command -v timeout >/dev/null || skip "timeout (coreutils) is not installed"
DEADLINE=$((120 * SLOW))
SKIPPED=()

# Debian's python3, not one that a version manager put first on PATH.
PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=$(command -v python3 || true)

# live NAME ARGS...: runs the binary with ARGS into NAME, stdin /dev/null;
# it must end by itself with 0 and nothing on standard error.
live() {
    local name=$1
    shift
    timeout -s KILL "$DEADLINE" "$BIN" "$@" < /dev/null > "$WORK/$name" 2> "$WORK/$name.err"
    local status=$?
    [ "$status" -eq 0 ] || fail "$*: exit status $status ($(head -c 300 "$WORK/$name.err"))"
    [ ! -s "$WORK/$name.err" ] || fail "$*: standard error: $(head -c 300 "$WORK/$name.err")"
}

live all.csv -a --count 2 --format csv
live all.jsonl -a --count 2 --format json
live all.prom -a --count 2 --format prometheus
live once.prom -a --format prometheus
live names.json -a -L --format json
live objects.json -a -LO --format json

# The expected texts of the unit tests hold the names that need quoting and
# escaping; their readers must take them too.
GOLDEN=$(cd "$(dirname "$0")/../data/formats" && pwd)

if [ -z "$PYTHON" ]; then
    SKIPPED+=("python3 is not installed: the CSV and JSON forms were not parsed")
else
    "$PYTHON" - "$WORK" "$GOLDEN" <<'PY' || fail "Python's csv and json modules refused the output"
import csv, json, math, re, sys
work = sys.argv[1]

# CSV: names keep their own bytes, so read them as bytes (latin-1 maps each).
with open(work + "/all.csv", newline="", encoding="latin-1") as f:
    rows = list(csv.reader(f, strict=True))
assert len(rows) == 3, "want a header and two rows, got %d" % len(rows)
header = rows[0]
assert re.fullmatch(r"\(PDH-CSV 4\.0\) \(.*\)\(-?\d+\)", header[0]), header[0]
for path in header[1:]:
    assert path.startswith("\\\\") and path.count("\\") >= 4, path
filled = []
rates = []
rate_columns = [i for i, path in enumerate(header) if path.endswith("/sec")]
assert rate_columns, "no rate column"
for row in rows[1:]:
    assert len(row) == len(header), "row of %d fields under %d columns" % (len(row), len(header))
    assert re.fullmatch(r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\.\d{3}", row[0]), row[0]
    values = [float(v) for v in row[1:] if v != " "]
    assert all(math.isfinite(v) for v in values)
    filled.append(len(values))
    rates.append(sum(row[i] != " " for i in rate_columns))
# The second pass has the rates that the first lacks (counted over the rates
# alone: instances that end between the passes take other values away).
assert rates[0] == 0 and rates[1] > 0, rates
print("csv: %d columns, %d then %d values" % (len(header) - 1, filled[0], filled[1]))

# JSON Lines: strict UTF-8, one object per pass.
with open(work + "/all.jsonl", encoding="utf-8", errors="strict") as f:
    passes = [json.loads(line) for line in f]
assert len(passes) == 2
counts = []
rates = []
for p in passes:
    assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", p["time"]), p["time"]
    assert isinstance(p["host"], str) and p["host"]
    # Registration is fixed for the run; not so between runs.
    assert len(p["samples"]) == len(passes[0]["samples"]) > 0
    for s in p["samples"]:
        assert set(s) == {"object", "instance", "index", "counter", "value"}, s
        assert s["value"] is None or isinstance(s["value"], (int, float))
        assert (s["instance"] is None) == (s["index"] is None)
    counts.append(sum(s["value"] is not None for s in p["samples"]))
    rates.append(sum(s["value"] is not None for s in p["samples"] if s["counter"].endswith("/sec")))
assert rates[-2] == 0 and rates[-1] > 0, rates
assert passes[0]["time"] < passes[1]["time"]
big = [s for s in passes[1]["samples"] if s["value"] is not None and s["value"] > 2**31]
assert big, "no value above 2^31 (Memory's bytes on any machine today)"
print("json: %d samples a pass, %d then %d values, %d above 2^31"
      % (len(passes[0]["samples"]), counts[0], counts[1], len(big)))

with open(work + "/names.json", encoding="utf-8") as f:
    names = json.load(f)
with open(work + "/objects.json", encoding="utf-8") as f:
    objects = json.load(f)
assert [o["name"] for o in names["objects"]] == [o["name"] for o in objects["objects"]]
assert all(set(o) == {"name", "instances", "counters"} for o in names["objects"])
print("listing: %d objects" % len(names["objects"]))

golden = sys.argv[2]
with open(golden + "/all_objects.jsonl", encoding="utf-8", errors="strict") as f:
    odd = [json.loads(line) for line in f]
assert 'a,b "q" \\ \ufffdt\u00e9' in [s["instance"] for s in odd[0]["samples"]]
with open(golden + "/all_objects.csv", newline="", encoding="latin-1") as f:
    rows = list(csv.reader(f, strict=True))
assert len({len(r) for r in rows}) == 1 and any('"q"' in c for c in rows[0])
print("expected texts with odd names: parsed")
PY
fi

if ! command -v promtool >/dev/null; then
    SKIPPED+=("promtool (Debian package prometheus) is not installed")
else
    # Not a word from promtool: its lint of names and help finds nothing either.
    for prom in "$WORK/all.prom" "$WORK/once.prom" "$GOLDEN/all_objects.prom"; do
        promtool check metrics < "$prom" > "$WORK/promtool.out" 2>&1 ||
            fail "promtool check metrics $prom: $(head -20 "$WORK/promtool.out")"
        [ ! -s "$WORK/promtool.out" ] ||
            fail "promtool check metrics $prom says: $(head -20 "$WORK/promtool.out")"
    done
    grep -q '^mirekast_memory_available_bytes [0-9]' "$WORK/all.prom" ||
        fail "no mirekast_memory_available_bytes sample"
    # One collection is enough: the busy seconds of CPU 0 are there.
    grep -q '^mirekast_processor_busy_seconds_total{name="0"} [0-9]' "$WORK/once.prom" ||
        fail "no busy seconds of CPU 0 after one collection"
    ! grep -q '_Total\|instance=\|job=' "$WORK/all.prom" ||
        fail "a _Total row, or a label Prometheus sets: $(grep -m3 '_Total\|instance=\|job=' "$WORK/all.prom")"
    families=$(grep -c '^# TYPE' "$WORK/all.prom")
    [ "$(grep -c '^# HELP' "$WORK/all.prom")" -eq "$families" ] &&
        [ "$(grep '^# TYPE' "$WORK/all.prom" | sort -u | wc -l)" -eq "$families" ] ||
        fail "a family with other than one HELP and one TYPE"
    note "promtool: $(grep -c '^# TYPE' "$WORK/all.prom") metrics, $(grep -vc '^#' "$WORK/all.prom") samples pass"
fi

if ! command -v prometheus-node-exporter >/dev/null; then
    SKIPPED+=("prometheus-node-exporter is not installed")
elif [ -z "$PYTHON" ]; then
    SKIPPED+=("python3 is not installed: no free port could be found for node_exporter")
else
    mkdir "$WORK/textfile"
    cp "$WORK/all.prom" "$WORK/textfile/.mirekast.prom.tmp"
    mv "$WORK/textfile/.mirekast.prom.tmp" "$WORK/textfile/mirekast.prom"
    PORT=$("$PYTHON" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    prometheus-node-exporter --web.listen-address="127.0.0.1:$PORT" \
        --collector.disable-defaults --collector.textfile \
        --collector.textfile.directory="$WORK/textfile" > "$WORK/exporter.log" 2>&1 &
    EXPORTER=$!
    on_exit "kill $EXPORTER 2>/dev/null; wait $EXPORTER 2>/dev/null"
    scrape() {
        "$PYTHON" -c 'import sys, urllib.request
sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=5).read().decode())' \
            "http://127.0.0.1:$PORT/metrics" > "$WORK/scraped" 2>/dev/null
    }
    wait_until 30 scrape || fail "node_exporter did not answer on port $PORT: $(tail -5 "$WORK/exporter.log")"
    grep -qx 'node_textfile_scrape_error 0' "$WORK/scraped" ||
        fail "node_exporter could not read the file: $(grep -i 'textfile\|error' "$WORK/scraped" "$WORK/exporter.log" | head -5)"
    served=$(grep -c '^mirekast_' "$WORK/scraped")
    [ "$served" -eq "$(grep -vc '^#' "$WORK/all.prom")" ] ||
        fail "node_exporter serves $served mirekast samples of $(grep -vc '^#' "$WORK/all.prom")"
    note "node_exporter on 127.0.0.1:$PORT serves $served samples, node_textfile_scrape_error 0"
fi

# --count ends by itself while standard input stays open and is no terminal.
mkfifo "$WORK/input"
exec 3<> "$WORK/input"
timeout -s KILL "$DEADLINE" "$BIN" -s '{Memory' -i '*' -c 'Available Bytes}' -r --count 3 \
    --interval 0.1 -l <&3 > "$WORK/count.out" 2>&1 || fail "-r --count 3 with stdin an open pipe: exit $?"
exec 3>&-
[ "$(wc -l < "$WORK/count.out")" -eq 3 ] || fail "-r --count 3 printed: $(cat "$WORK/count.out")"

# --interval 0.2 --count 5: four intervals, 0.8 s beyond what one pass takes.
# Judged as a ratio to the intervals, never against a fixed limit.
elapsed_ms() {
    local start end
    start=$(date +%s%N)
    "$BIN" "$@" < /dev/null > /dev/null || fail "$*: exit $?"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
SET=(-s '{Memory' -i '*' -c 'Available Bytes}')
one=$(elapsed_ms "${SET[@]}" --count 1 --interval 0.2)
five=$(elapsed_ms "${SET[@]}" --count 5 --interval 0.2)
ratio=$(awk -v a="$five" -v b="$one" 'BEGIN { printf "%.2f", (a - b) / 800 }')
awk -v r="$ratio" -v slow="$SLOW" 'BEGIN { exit !(r >= 0.85 && r <= 1.5 * slow) }' ||
    fail "--interval 0.2 --count 5 took ${five} ms, one pass ${one} ms: ${ratio} x the four intervals"
note "--interval 0.2 --count 5: ${five} ms, one pass ${one} ms: ${ratio} x the four intervals"

if [ ${#SKIPPED[@]} -gt 0 ]; then
    for reason in "${SKIPPED[@]}"; do
        echo "SKIP [$CHECK]: $reason" >&2
    done
    exit 77
fi
note "all checks passed"
