#!/usr/bin/env bash
# scripts/deps.sh's ensure_packages against stand-ins for dpkg-query, id,
# sudo and apt-get, on a PATH that holds nothing else of the system's: what
# it installs, how (quietly, without recommends, through sudo when not
# root), and what it says when it cannot.
#   deps.sh SCRIPTS_FOLDER
set -uo pipefail
scripts=$1
. "$(dirname "$0")/../install/checks.bash"

bin="$scratch/bin"
mkdir -p "$bin"
for tool in bash cat grep mkdir dirname basename env; do
    ln -s "$(command -v $tool)" "$bin/$tool"
done
# Installed: the names in $scratch/installed.  apt-get notes each call and the
# frontend it was given, says "Setting up" for each package it installs and
# fails to install when $scratch/apt-fails exists.  sudo resets the environment as the
# real one does.
cat >"$bin/dpkg-query" <<'STUB'
#!/bin/bash
grep -qx "${@: -1}" "$FAKE/installed" && printf 'install ok installed'
exit 0
STUB
cat >"$bin/id" <<'STUB'
#!/bin/bash
cat "$FAKE/uid"
STUB
cat >"$bin/apt-get" <<'STUB'
#!/bin/bash
echo "${SUDO_USER:+sudo }apt-get $* frontend=${DEBIAN_FRONTEND:-}" >>"$FAKE/calls"
echo "Reading package lists..."
[ -e "$FAKE/apt-fails" ] && [[ " $* " == *" install "* ]] && { echo "E: Unable to locate package ${@: -1}"; exit 100; }
for word in "$@"; do case $word in -*|install|update|DPkg*) ;; *) echo "Setting up $word (1.0) ...";; esac; done
STUB
cat >"$scratch/sudo" <<'STUB'
#!/bin/bash
exec env -i PATH="$PATH" FAKE="$FAKE" SUDO_USER=tester "$@"
STUB
chmod +x "$bin/dpkg-query" "$bin/id" "$bin/apt-get" "$scratch/sudo"

# run UID INSTALLED SUDO(yes/no) PACKAGE...: ensure_packages in a child shell
# as a script named "scripts/example" would call it; sets status, out, err.
run() {
    local uid=$1 installed=$2 with_sudo=$3
    shift 3
    printf '%s\n' $installed >"$scratch/installed"
    echo "$uid" >"$scratch/uid"
    rm -f "$scratch/calls" "$scratch/apt.log" "$bin/sudo"
    [ "$with_sudo" = yes ] && ln -s "$scratch/sudo" "$bin/sudo"
    env -i FAKE="$scratch" MIREKAST_APT_LOG="$scratch/apt.log" PATH="$bin" \
        "$bin/bash" -c '. "$1"; shift; ensure_packages "$@"; echo "went on"' scripts/example \
        "$scripts/deps.sh" "$@" >"$scratch/out" 2>"$scratch/err"
    status=$?
    out=$(cat "$scratch/out")
    err=$(cat "$scratch/err")
    calls=$(cat "$scratch/calls" 2>/dev/null)
}

# Nothing missing: nothing run, nothing said.
run 1000 "cmake g++" no cmake g++
expect "all installed: status and output" "$status|$out|$err|$calls" "0|went on||"

# As root: only the missing ones, no recommends, one line, apt's talk in the log.
run 0 "cmake" no cmake g++ make
expect "as root: apt calls" "$calls" \
"apt-get -o DPkg::Lock::Timeout=600 update -q frontend=
apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends g++ make frontend=noninteractive"
expect "as root: status and stdout" "$status|$out" "0|went on"
expect "as root: the one line on stderr" "$(sed 's/in [0-9]* s/in N s/' <<<"$err")" \
    "Installing g++ make from Debian's archive ... done: 2 packages set up in N s (log: $scratch/apt.log)"
expect "as root: apt's output kept in the log" "$(grep -c 'Reading package lists' "$scratch/apt.log")" 2

# Not root, with sudo: through sudo, the frontend surviving its reset environment.
run 1000 "" yes valgrind
expect "with sudo: apt calls" "$calls" \
"sudo apt-get -o DPkg::Lock::Timeout=600 update -q frontend=
sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends valgrind frontend=noninteractive"
expect "with sudo: status" "$status|$out" "0|went on"

# Not root, no sudo: advice naming what is missing, exit 1, apt never run.
run 1000 "make" no cmake make tmux
expect "without sudo: status, stdout and apt calls" "$status|$out|$calls" "1||"
expect "without sudo: the advice" "$err" \
"example needs packages this machine lacks: cmake tmux
Install them as root, then run it again:
    apt-get install --no-install-recommends cmake tmux
(or install sudo, which it then uses to install them itself)"

# apt fails: its log is shown, the script stops.
touch "$scratch/apt-fails"
run 0 "" no nosuchpackage
rm "$scratch/apt-fails"
expect "apt failing: status and stdout" "$status|$out" "1|"
expect "apt failing: its log is printed" "$(grep -c 'E: Unable to locate package nosuchpackage' <<<"$err")" 1
expect "apt failing: the last line" "$(tail -n 1 <<<"$err")" \
    "apt-get could not install nosuchpackage; its log is above and in $scratch/apt.log"
finish
