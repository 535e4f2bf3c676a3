#!/usr/bin/env bash
# Captures a small fake /proc and /sys tree from the machine it runs on, for
# the Linux layer's parsing tests: the system-wide files, and stat, status, io,
# the fd entries (as empty files) and the tasks of the processes named on the
# command line.  Nothing else of a process (no cmdline, no environ) is copied.
# Usage: capture.sh DESTINATION PID...
set -euo pipefail
dest=$1
shift
rm -rf "$dest"
mkdir -p "$dest/proc/net" "$dest/proc/self" "$dest/sys/block" "$dest/sys/class/net"
for f in stat uptime meminfo vmstat loadavg diskstats swaps interrupts net/dev; do
    cat "/proc/$f" >"$dest/proc/$f"
done
cat /proc/self/mountinfo >"$dest/proc/self/mountinfo"
for pid in "$@"; do
    d="$dest/proc/$pid"
    mkdir -p "$d/fd" "$d/task"
    cat "/proc/$pid/stat" >"$d/stat"
    cat "/proc/$pid/status" >"$d/status"
    cat "/proc/$pid/io" >"$d/io"
    touch "$d/fd/.keep"
    for fd in /proc/"$pid"/fd/*; do
        [ -e "$fd" ] || [ -L "$fd" ] || continue
        touch "$d/fd/$(basename "$fd")"
    done
    for task in /proc/"$pid"/task/*; do
        t="$d/task/$(basename "$task")"
        mkdir -p "$t"
        cat "$task/stat" >"$t/stat"
        cat "$task/status" >"$t/status"
    done
done
# Whole disks have a device; the others get a directory without one.
for block in /sys/block/*; do
    name=$(basename "$block")
    mkdir -p "$dest/sys/block/$name"
    if [ -e "$block/device" ]; then
        touch "$dest/sys/block/$name/device"
    else
        touch "$dest/sys/block/$name/.keep"
    fi
done
for net in /sys/class/net/*; do
    name=$(basename "$net")
    mkdir -p "$dest/sys/class/net/$name"
    cat "$net/speed" >"$dest/sys/class/net/$name/speed" 2>/dev/null || true
done
