#!/usr/bin/env bash
# The standard counters on this machine against independent peers, under load
# this check makes and ends: iostat -x under direct reads and writes of a file
# on the real disk (the whole disk and the filesystem's own device); mpstat
# and /proc/softirqs for Processor Information; nstat deltas under loopback
# UDP traffic (127.0.0.1 and ::1 only) for UDP and IP; ss for TCP connections
# opened on loopback; a process that maps and touches memory for Private Bytes
# and Working Set - Private.  Each pair of readings spans the same seconds
# (the program's two collections and the peer's interval start together);
# the tolerances allow for the few milliseconds by which the windows differ
# on a machine that others keep busy.
. "$(dirname "$0")/common.bash"

PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=$(command -v python3 || true)
[ -n "$PYTHON" ] || skip "python3 is not installed"
for tool in iostat mpstat nstat ss ps dd; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (sysstat, iproute2, procps, coreutils)"
done

export NSTAT_HISTORY="$WORK/nstat.history"
"$PYTHON" - "$BIN" "$WORK" "$SLOW" <<'PY' || fail "a counter disagreed with its peer (above)"
import csv, json, mmap, os, socket, subprocess, sys, threading, time

BIN, WORK, SLOW = sys.argv[1], sys.argv[2], int(sys.argv[3])
SECONDS = 3
failures = []

def check(label, got, want, relative, absolute):
    ok = got is not None and abs(got - want) <= relative * abs(want) + absolute
    print("%-58s mirekast %12.4f  peer %12.4f  %s" % (label, -1 if got is None else got, want,
                                                       "ok" if ok else "DIFFERS"))
    if not ok:
        failures.append(label)

def set_args(sets):
    args = []
    for obj, instance, counters in sets:
        args += ["-s", "{" + obj, "-i", instance, "-c"] + counters[:-1] + [counters[-1] + "}"]
    return args

def start_mirekast(sets, count=2):
    return subprocess.Popen([BIN] + set_args(sets) + ["--count", str(count), "--interval",
                            str(SECONDS), "--format", "csv"], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

def finish_mirekast(process):
    out, err = process.communicate(timeout=60 * SLOW)
    if process.returncode != 0 or err:
        raise SystemExit("mirekast failed (%d): %s" % (process.returncode, err))
    rows = list(csv.reader(out.splitlines()))
    values = {}
    for path, value in zip(rows[0][1:], rows[-1][1:]):
        # "\\machine\Object(instance)\Counter" without the machine
        values[path.split("\\", 3)[3]] = float(value) if value.strip() else None
    return values

def peer_json(command):
    out = subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout
    return json.loads(out)["sysstat"]["hosts"][0]["statistics"][0]

# ---- Disks: the filesystem of the scratch folder and its whole disk.
def block_name(device):
    path = os.path.realpath("/sys/dev/block/%d:%d" % (os.major(device), os.minor(device)))
    return os.path.basename(path), path

fs_name, fs_path = block_name(os.stat(WORK).st_dev)
disk_name = os.path.basename(os.path.dirname(fs_path)) \
    if os.path.exists(os.path.join(fs_path, "partition")) else fs_name
if not os.path.exists("/sys/block/%s/device" % disk_name) or fs_name.startswith(("loop", "dm-")):
    print("SKIP disks: the scratch folder is not on a plain disk (%s)" % fs_name)
else:
    data = os.path.join(WORK, "direct.data")
    subprocess.run(["dd", "if=/dev/zero", "of=" + data, "bs=1M", "count=64", "oflag=direct"],
                   check=True, stderr=subprocess.DEVNULL)

    # A root made with chroot sees the host's mount table, whose mount points
    # lie outside it: there the scratch folder's filesystem is no LogicalDisk.
    listing = json.loads(subprocess.run(
        [BIN, "-s", "{LogicalDisk", "-i", "*", "-c", "Free Megabytes}", "--format", "json"],
        check=True, stdout=subprocess.PIPE, text=True).stdout)
    logical_listed = any(s["instance"] == fs_name for s in listing["samples"])
    if not logical_listed:
        print("SKIP LogicalDisk: %s is not among the mounted filesystems this root sees" % fs_name)

    def disk_phase(direction):
        stop = threading.Event()
        def load():
            while not stop.is_set():
                if direction == "write":
                    command = ["dd", "if=/dev/zero", "of=" + data, "bs=64k", "count=256",
                               "oflag=direct", "conv=notrunc"]
                else:
                    command = ["dd", "if=" + data, "of=/dev/null", "bs=64k", "count=256",
                               "iflag=direct"]
                subprocess.run(command, stderr=subprocess.DEVNULL)
        workers = [threading.Thread(target=load) for _ in range(2)]
        for worker in workers:
            worker.start()
        time.sleep(1)
        io = ["Disk Reads/sec", "Disk Writes/sec", "Disk Read Bytes/sec", "Disk Write Bytes/sec",
              "Avg. Disk sec/Read", "Avg. Disk sec/Write", "Avg. Disk Queue Length",
              "% Disk Time", "% Idle Time"]
        ours = start_mirekast([("PhysicalDisk", disk_name, io), ("LogicalDisk", fs_name, io)])
        peer = peer_json(["iostat", "-x", "-d", "-y", "-o", "JSON", str(SECONDS), "1",
                          disk_name, fs_name])
        values = finish_mirekast(ours)
        stop.set()
        for worker in workers:
            worker.join()
        for obj, name in (("PhysicalDisk", disk_name), ("LogicalDisk", fs_name)):
            if obj == "LogicalDisk" and not logical_listed:
                continue
            row = [d for d in peer["disk"] if d["disk_device"] == name][0]
            get = lambda counter: values.get("%s(%s)\\%s" % (obj, name, counter))
            tag = "%s(%s) %s: " % (obj, name, direction)
            side = "r" if direction == "read" else "w"
            word = "Read" if direction == "read" else "Write"
            check(tag + "Disk %ss/sec vs %s/s" % (word, side), get("Disk %ss/sec" % word),
                  row[side + "/s"], 0.2, 5)
            check(tag + "Disk %s Bytes/sec vs %skB/s" % (word, side),
                  (get("Disk %s Bytes/sec" % word) or 0) / 1024, row[side + "kB/s"], 0.2, 64)
            check(tag + "Avg. Disk sec/%s vs %s_await" % (word, side),
                  (get("Avg. Disk sec/%s" % word) or 0) * 1000, row[side + "_await"], 0.25, 0.3)
            check(tag + "Avg. Disk Queue Length vs aqu-sz", get("Avg. Disk Queue Length"),
                  row["aqu-sz"], 0.25, 0.1)
            # The mean queue of reads and writes × 100, capped: not the busy share.
            check(tag + "% Disk Time vs min(100, aqu-sz x 100)", get("% Disk Time"),
                  min(100.0, row["aqu-sz"] * 100), 0.25, 10)
            check(tag + "100 - % Idle Time vs %util", 100 - (get("% Idle Time") or 0),
                  row["util"], 0, 12)

    disk_phase("write")
    disk_phase("read")

# ---- Processor Information: mpstat's shares and /proc/softirqs.
def softirqs():
    with open("/proc/softirqs") as f:
        lines = f.read().splitlines()
    cpus = [int(c[3:]) for c in lines[0].split()]
    sums = [0] * len(cpus)
    for line in lines[1:]:
        for i, number in enumerate(line.split(":", 1)[1].split()[:len(cpus)]):
            sums[i] += int(number)
    return dict(zip(cpus, sums))

spinner = subprocess.Popen([sys.executable, "-c", "while True: pass"])
time.sleep(0.5)
before, started = softirqs(), time.monotonic()
ours = start_mirekast([("Processor Information", "*", ["% Processor Time", "DPCs Queued/sec"])])
peer = peer_json(["mpstat", "-u", "-P", "ALL", "-I", "SCPU", "-o", "JSON", str(SECONDS), "1"])
values = finish_mirekast(ours)
after, ended = softirqs(), time.monotonic()
spinner.kill()
spinner.wait()
nodes = {}
for key in values:
    if key.startswith("Processor Information(") and "_Total" not in key:
        node, cpu = key[len("Processor Information("):key.index(")")].split(",")
        nodes[int(cpu)] = node
for load in peer["cpu-load"]:
    if load["cpu"] == "all":
        instance = "_Total"
    else:
        instance = "%s,%s" % (nodes.get(int(load["cpu"]), "0"), load["cpu"])
    check("Processor Information(%s) %% Processor Time vs mpstat" % instance,
          values.get("Processor Information(%s)\\%% Processor Time" % instance),
          100 - load["idle"] - load["iowait"], 0, 10)
for soft in peer["soft-interrupts"]:
    if soft["cpu"] == "all":
        continue
    cpu = int(soft["cpu"])
    instance = "%s,%d" % (nodes.get(cpu, "0"), cpu)
    got = values.get("Processor Information(%s)\\DPCs Queued/sec" % instance)
    check("Processor Information(%s) DPCs Queued/sec vs mpstat -I SCPU" % instance, got,
          sum(i["value"] for i in soft["intr"]), 0.25, 30)
    check("Processor Information(%s) DPCs Queued/sec vs /proc/softirqs" % instance, got,
          (after[cpu] - before[cpu]) / (ended - started), 0.25, 30)

# ---- UDP and IP under loopback traffic: 127.0.0.1 and ::1 only.
def udp_traffic(stop):
    receivers = []
    for family, address in ((socket.AF_INET, "127.0.0.1"), (socket.AF_INET6, "::1")):
        receiver = socket.socket(family, socket.SOCK_DGRAM)
        receiver.bind((address, 0))
        receiver.setblocking(False)
        receivers.append(receiver)
    closed = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    closed.bind(("127.0.0.1", 0))
    closed_port = closed.getsockname()[1]
    closed.close()  # datagrams to it count as no port
    sender4 = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sender6 = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
    while not stop.is_set():
        for _ in range(20):
            sender4.sendto(b"x" * 64, receivers[0].getsockname())
            sender6.sendto(b"x" * 64, receivers[1].getsockname()[:2])
        sender4.sendto(b"x", ("127.0.0.1", closed_port))
        for receiver in receivers:
            try:
                while True:
                    receiver.recv(128)
            except BlockingIOError:
                pass
        time.sleep(0.01)

stop = threading.Event()
traffic = threading.Thread(target=udp_traffic, args=(stop,))
traffic.start()
time.sleep(1)
subprocess.run(["nstat", "-n"], check=True)
started = time.monotonic()
ours = start_mirekast([("UDPv4", "*", ["Datagrams Received/sec", "Datagrams Sent/sec",
                                       "Datagrams No Port/sec"]),
                       ("UDPv6", "*", ["Datagrams Received/sec", "Datagrams Sent/sec"]),
                       ("IPv4", "*", ["Datagrams Received/sec", "Datagrams Sent/sec"]),
                       ("IPv6", "*", ["Datagrams Received/sec", "Datagrams Sent/sec"])])
values = finish_mirekast(ours)
deltas = json.loads(subprocess.run(["nstat", "--json"], check=True,
                                   stdout=subprocess.PIPE, text=True).stdout)["kernel"]
ended = time.monotonic()
stop.set()
traffic.join()
elapsed = ended - started
for counter, key in (("UDPv4\\Datagrams Received/sec", "UdpInDatagrams"),
                     ("UDPv4\\Datagrams Sent/sec", "UdpOutDatagrams"),
                     ("UDPv4\\Datagrams No Port/sec", "UdpNoPorts"),
                     ("UDPv6\\Datagrams Received/sec", "Udp6InDatagrams"),
                     ("UDPv6\\Datagrams Sent/sec", "Udp6OutDatagrams"),
                     ("IPv4\\Datagrams Received/sec", "IpInReceives"),
                     ("IPv4\\Datagrams Sent/sec", "IpOutRequests"),
                     ("IPv6\\Datagrams Received/sec", "Ip6InReceives"),
                     ("IPv6\\Datagrams Sent/sec", "Ip6OutRequests")):
    peer_rate = deltas.get(key, 0) / elapsed
    check(counter + " vs nstat " + key, values.get(counter), peer_rate, 0.25, 20)

# ---- TCP connections established on loopback.
listeners, connections = [], []
for family, address, count in ((socket.AF_INET, "127.0.0.1", 12), (socket.AF_INET6, "::1", 5)):
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.bind((address, 0))
    listener.listen(count)
    listeners.append(listener)
    for _ in range(count):
        client = socket.create_connection(listener.getsockname()[:2])
        server, _ = listener.accept()
        connections += [client, server]

def ss_counts():
    out = subprocess.run(["ss", "-H", "-t", "-n", "state", "established", "state", "close-wait"],
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    v4 = v6 = 0
    for line in out.splitlines():
        peer_address = line.split()[3]
        if peer_address.startswith("[") and not peer_address.startswith("[::ffff:"):
            v6 += 1
        else:
            v4 += 1
    return v4, v6

first = ss_counts()
values = finish_mirekast(start_mirekast([("TCPv4", "*", ["Connections Established"]),
                                         ("TCPv6", "*", ["Connections Established"])], count=1))
last = ss_counts()
for i, family in enumerate(("TCPv4", "TCPv6")):
    got = values.get(family + "\\Connections Established")
    low, high = min(first[i], last[i]), max(first[i], last[i])
    check(family + " Connections Established vs ss", got, (low + high) / 2, 0,
          (high - low) / 2 + 2)
    opened = 24 if family == "TCPv4" else 10
    if got is None or got < opened:
        failures.append(family + " shows fewer than the %d ends opened here" % opened)
for s in connections + listeners:
    s.close()

# ---- Private Bytes and Working Set - Private of a process that maps 512 MiB
# privately and touches 64 MiB of it.
child = subprocess.Popen([sys.executable, "-c", """
import mmap, sys
sys.stdout.write("ready\\n"); sys.stdout.flush(); sys.stdin.readline()
region = mmap.mmap(-1, 512 << 20, flags=mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS)
for page in range(0, 64 << 20, 4096):
    region[page] = 1
sys.stdout.write("mapped\\n"); sys.stdout.flush(); sys.stdin.readline()
"""], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)

def memory_of(pid):
    values = finish_mirekast(start_mirekast([("Process", "*", ["ID Process", "Private Bytes",
                                                               "Working Set - Private"])], count=1))
    for key, value in values.items():
        if key.endswith("\\ID Process") and value == pid:
            instance = key[:-len("\\ID Process")]
            rss = int(subprocess.run(["ps", "-o", "rss=", "-p", str(pid)], check=True,
                                     stdout=subprocess.PIPE, text=True).stdout)
            return (values[instance + "\\Private Bytes"],
                    values[instance + "\\Working Set - Private"], rss * 1024)
    raise SystemExit("the mapping process is not listed")

child.stdout.readline()
private0, anon0, rss0 = memory_of(child.pid)
child.stdin.write("\n"); child.stdin.flush()
child.stdout.readline()
private1, anon1, rss1 = memory_of(child.pid)
child.stdin.write("\n"); child.stdin.flush()
child.wait()
MiB = 1 << 20
check("Process Private Bytes grew by the 512 MiB mapped (MiB)", (private1 - private0) / MiB,
      512, 0, 1)
check("Process Working Set - Private grew by the 64 MiB touched (MiB)", (anon1 - anon0) / MiB,
      64, 0, 2)
check("Process Working Set - Private growth vs ps rss growth (MiB)", (anon1 - anon0) / MiB,
      (rss1 - rss0) / MiB, 0, 2)

if failures:
    print("differs: " + "; ".join(failures))
    sys.exit(1)
PY
note "every counter agreed with its peer"
