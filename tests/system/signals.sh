#!/usr/bin/env bash
# Ending signals during a run with --format: SIGINT, SIGTERM or SIGHUP sent
# at a random moment to `-a --format json` and `--format csv` runs, read by a
# slow reader (so that a signal often comes while a record is half out):
# every line the reader got is a whole record that parses, and the run died
# by that very signal.  A second signal ends a run at once, even one blocked
# on a reader that has stopped reading.
. "$(dirname "$0")/common.bash"

command -v python3 >/dev/null || skip "python3 is not installed"

cat > "$WORK/signals.py" <<'EOF_PY'
import csv, io, json, os, random, select, signal, subprocess, sys, time

binary, slow = sys.argv[1], int(sys.argv[2])
failures = []

def start(args):
    # As a terminal would start it: no ending signal ignored.
    def defaults():
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(number, signal.SIG_DFL)
    return subprocess.Popen([binary] + args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, preexec_fn=defaults)

def read_slowly(process, deadline):
    # 16 KiB at a time, a little late each time, until the end or the deadline.
    data = bytearray()
    fd = process.stdout.fileno()
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if ready:
            chunk = os.read(fd, 16384)
            if not chunk:
                break
            data += chunk
            time.sleep(0.002)
    return bytes(data)

def whole_lines(label, form, data):
    if data and not data.endswith(b"\n"):
        failures.append("%s: the output ends inside a record: ...%r" % (label, data[-60:]))
        return 0
    lines = data.decode("utf-8").splitlines()
    if form == "json":
        for number, line in enumerate(lines, 1):
            try:
                record = json.loads(line)
                assert "time" in record and isinstance(record["samples"], list) and record["samples"]
            except Exception as error:
                failures.append("%s: line %d does not parse (%s): %r" % (label, number, error, line[:80]))
        return len(lines)
    rows = list(csv.reader(io.StringIO("\n".join(lines) + "\n"))) if lines else []
    for number, row in enumerate(rows, 1):
        if len(row) != len(rows[0]) or len(row) < 2:
            failures.append("%s: row %d has %d fields, the header %d" % (label, number, len(row), len(rows[0])))
    return max(len(rows) - 1, 0)

forms = {
    "json": ["-a", "--count", "100", "--interval", "0.1", "--format", "json"],
    "csv": ["-s", "{Process", "-i", "*", "-c", "*}", "-s", "{Thread", "-i", "*", "-c", "*}",
            "--count", "100", "--interval", "0.1", "--format", "csv"],
}
random.seed(os.getpid())
summary = []
for form, args in forms.items():
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP) * 2:
        label = "%s %s" % (form, signal.Signals(number).name)
        process = start(args)
        moment = random.uniform(0.3, 2.0) * slow
        begun = time.monotonic()
        data = read_slowly(process, begun + moment)
        if process.poll() is not None:
            failures.append("%s: the run ended before the signal, status %d" % (label, process.returncode))
            continue
        process.send_signal(number)
        data += read_slowly(process, begun + moment + 60 * slow)
        process.wait(timeout=60 * slow)
        err = process.stderr.read().decode()
        if process.returncode != -number:
            failures.append("%s: status %d, not death by the signal; stderr %r" % (label, process.returncode, err[:200]))
        records = whole_lines(label, form, data)
        summary.append("%s at %.2fs: %d records" % (label, moment, records))

# A second signal while the run waits on a reader that has stopped reading:
# the run ends at once, by the second signal.
process = start(forms["json"])
data = read_slowly(process, time.monotonic() + 1.0 * slow)
# Stop reading and wait until the run is blocked writing a record into the full pipe.
time.sleep(0.5 * slow)
process.send_signal(signal.SIGTERM)
time.sleep(0.3 * slow)
if process.poll() is not None:
    failures.append("twice: the first signal did not wait for the record being written")
process.send_signal(signal.SIGINT)
try:
    process.wait(timeout=5 * slow)
    if process.returncode != -signal.SIGINT:
        failures.append("twice: status %d, not death by SIGINT" % process.returncode)
except subprocess.TimeoutExpired:
    process.kill()
    failures.append("twice: the second signal did not end the run at once")
summary.append("twice: ended by the second signal")

print("\n".join(summary))
if failures:
    print("\n".join(failures), file=sys.stderr)
    sys.exit(1)
EOF_PY
python3 "$WORK/signals.py" "$BIN" "$SLOW" > "$WORK/summary" 2> "$WORK/failures" ||
    fail "$(cat "$WORK/failures")"
while read -r line; do note "$line"; done < "$WORK/summary"
