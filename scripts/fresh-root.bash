# Sourced by scripts/fresh-check: the README's commands, and entering and
# leaving a bootstrapped root safely.

# readme_commands README: the commands of the README's first ```sh block, one
# a line, without their trailing comments.
readme_commands() {
    awk '/^```sh$/ && !seen { inside = 1; seen = 1; next }
         inside && /^```/ { exit }
         inside {
             sub(/[ \t]+#[^"'\''#]*$/, "")
             if ($0 !~ /^[ \t]*$/) print
         }' "$1"
}

# mounts_under DIR: the mount points at or under DIR, deepest first.
mounts_under() {
    awk -v dir="$1" '$2 == dir || index($2, dir "/") == 1 { print $2 }' /proc/self/mounts | sort -r
}

# mount_into ROOT: what a program inside ROOT expects of a running system.
mount_into() {
    mount -t proc proc "$1/proc"
    mount -t sysfs sysfs "$1/sys"
    mount --bind /dev "$1/dev"
    mount --bind /dev/pts "$1/dev/pts"
}

# release_roots DIR [keep-scratch]: ends every process still running in a
# root under DIR (a test's tmux server, say), unmounts all that is mounted
# under it and, unless told to keep it, removes DIR.  It never removes while
# something is still mounted there: /dev is bound in, and rm would go through.
# processes_in DIR: the processes whose root is DIR or a folder under it.
processes_in() {
    local root
    # One find, not a readlink per process: on a loaded machine that adds up.
    for root in $(find /proc -mindepth 2 -maxdepth 2 -name root \( -lname "$1" -o -lname "$1/*" \) 2>/dev/null); do
        root=${root#/proc/}
        echo "${root%/root}"
    done
}

release_roots() {
    local dir=$1 keep=${2:-} pids mount
    pids=$(processes_in "$dir")
    if [ -n "$pids" ]; then
        kill -s TERM $pids 2>/dev/null
        sleep 1
        pids=$(processes_in "$dir")
        [ -z "$pids" ] || kill -s KILL $pids 2>/dev/null
    fi
    for mount in $(mounts_under "$dir"); do
        umount "$mount" 2>/dev/null || umount -l "$mount" ||
            echo "could not unmount $mount" >&2
    done
    [ "$keep" = keep-scratch ] && return 0
    if [ -n "$(mounts_under "$dir")" ]; then
        echo "still mounted under $dir, left in place:" >&2
        mounts_under "$dir" >&2
        return 1
    fi
    rm -rf --one-file-system "$dir"
}
