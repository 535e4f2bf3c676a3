#!/usr/bin/env bash
# scripts/fresh-root.bash, which scripts/fresh-check stands on: which README
# lines it takes for the commands, and that leaving a root unmounts all and
# removes nothing through a mount.  fresh_root.sh PROJECT_FOLDER
# The mounting half needs root and is skipped (77) without it.
set -uo pipefail
project=$1
. "$(dirname "$0")/../install/checks.bash"
. "$project/scripts/fresh-root.bash"

# Only the first sh block; trailing comments go, a # inside quotes stays.
cat >"$scratch/README.md" <<'TEXT'
# Title

```bat
cmake -S . -B build
```

```sh
scripts/run -s {Process -i '*' -c "# of Threads"}   # build and run

scripts/test                                        # every test
```

```sh
scripts/other
```
TEXT
expect "the first sh block's commands" "$(readme_commands "$scratch/README.md")" \
"scripts/run -s {Process -i '*' -c \"# of Threads\"}
scripts/test"
printf 'no code here\n' >"$scratch/empty.md"
expect "a README without a block" "$(readme_commands "$scratch/empty.md")" ""

# The project's own README: its commands are the project's scripts.
mapfile -t commands < <(readme_commands "$project/README.md")
if [ ${#commands[@]} -ge 1 ]; then pass; else fail "no commands in README.md"; fi
for command in "${commands[@]}"; do
    program=${command%% *}
    if [ -x "$project/$program" ]; then pass; else fail "README command needs $program, not in the project"; fi
done

if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs none "$scratch" 2>/dev/null; then
    finish || exit 1
    echo "not root or cannot mount: the unmounting checks are skipped"
    exit 77
fi
umount "$scratch"
# Should the code under test leave a mount, the scratch folder must not be
# removed through it.
trap 'for m in $(mounts_under "$scratch"); do umount -l "$m"; done; rm -rf --one-file-system "$scratch"' EXIT
# A root with a bound folder, as /dev is bound into a fresh root.
outside="$scratch/outside"
roots="$scratch/roots"
mkdir -p "$outside" "$roots/one/dev" "$roots/one/tmp"
touch "$outside/precious"
mount --bind "$outside" "$roots/one/dev"
mount -t tmpfs none "$roots/one/tmp"
expect "mounts listed deepest first" "$(mounts_under "$roots")" "$roots/one/tmp
$roots/one/dev"
release_roots "$roots/one" keep-scratch
expect "keep-scratch: unmounted, kept" "$(mounts_under "$roots")|$(test -d "$roots/one" && echo kept)" "|kept"
mount --bind "$outside" "$roots/one/dev"
# A second root with a program running in it, as a test's tmux server may
# outlive the command that started it: /usr bound in, the rest links into it.
mkdir -p "$roots/two/usr"
mount --bind /usr "$roots/two/usr"
for link in bin lib lib64; do [ -e "/usr/$link" ] && ln -s "usr/$link" "$roots/two/$link"; done
chroot "$roots/two" /usr/bin/sleep 300 &
sleeper=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -n "$(processes_in "$roots")" ] && break; sleep 0.2; done
expect "the program is found in its root" "$(processes_in "$roots")" "$sleeper"
release_roots "$roots"
wait "$sleeper" 2>/dev/null
expect "the program in the root was ended" "$?" "$((128 + 15))"
expect "released: nothing mounted, removed" "$(mounts_under "$roots")|$(test -e "$roots" || echo gone)" "|gone"
expect "what was bound in is untouched" "$(ls "$outside")" "precious"
finish
