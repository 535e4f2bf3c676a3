#!/usr/bin/env bash
# Processes whose command names hold blanks, parentheses, '#', '/', '\' and
# bytes above 0x7f.  The Linux layer names their instances as Windows would:
# '(' and ')' become '[' and ']', '#', '/' and '\' become '_'; a byte that is
# not part of a UTF-8 character becomes '?' (the kernel's 15 bytes may cut
# the last character short); every other byte stays.  The names are listed,
# sampled in every format without a crash, and a set selects each process by
# its instance name.
. "$(dirname "$0")/common.bash"

# Command names as the kernel holds them (printf %b escapes; at most 15
# bytes) and the instance names the program must show for them.
RAW=(
    'with blanks'
    '(in parens)'
    'hash#1'
    'a/b/c'
    'back\\slash'
    '(a#b/c\\d)'
    'caf\xc3\xa9-\xff\xfe'
    'x) R 1 2 (y'
    '\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9'
)
EXPECTED=(
    'with blanks'
    '[in parens]'
    'hash_1'
    'a_b_c'
    'back_slash'
    '[a_b_c_d]'
    'caf\xc3\xa9-??'
    'x] R 1 2 [y'
    '\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9?'
)
TWIN_RAW='twin (#)'
TWIN='twin [_]'

mkfifo "$WORK/never"
PIDS=()
# start_named RAW: a bash that renames itself to RAW and then waits; its pid
# in STARTED once the kernel shows the new name.
start_named() {
    local raw
    raw=$(printf '%b' "$1")
    bash -c 'printf "%s" "$1" > /proc/self/comm && read -r -t 300 -u 9 _' _ "$raw" 9<> "$WORK/never" &
    STARTED=$!
    PIDS+=("$STARTED")
    # Waited for, so that none is still listed when the next check starts.
    on_exit "kill $STARTED 2>/dev/null; wait $STARTED 2>/dev/null"
    local want
    want=$(printf '%s' "$raw" | head -c 15)
    named() { [ "$(tr -d '\n' < "/proc/$STARTED/comm")" = "$want" ]; }
    wait_until 10 named || fail "could not name a process '$1'"
}

NAMES=()
for i in "${!RAW[@]}"; do
    start_named "${RAW[$i]}"
    NAMES+=("$(printf '%b' "${EXPECTED[$i]}")")
done
start_named "$TWIN_RAW"
TWIN_PIDS=("$STARTED")
start_named "$TWIN_RAW"
TWIN_PIDS+=("$STARTED")

# 1. The name listing shows every process and its thread under its instance
#    name, and no raw name that had to be changed.
run listing -L -a
for i in "${!NAMES[@]}"; do
    grep -qxF "$(printf '\t\t%s' "${NAMES[$i]}")" "$WORK/listing.out" ||
        fail "listing: no Process instance '${NAMES[$i]}'"
    grep -qxF "$(printf '\t\t%s/0' "${NAMES[$i]}")" "$WORK/listing.out" ||
        fail "listing: no Thread instance '${NAMES[$i]}/0'"
    raw=$(printf '%b' "${RAW[$i]}" | head -c 15)
    if [ "$raw" != "${NAMES[$i]}" ] && grep -qF "$raw" "$WORK/listing.out"; then
        fail "listing: the raw name '$raw' is listed"
    fi
done

# 2. All objects in every format; tables stay well formed, lists name each
#    process with its own pid.
run tables -a
check_tables "$WORK/tables.out" > /dev/null || fail "tables: malformed"
run long_list -a -ll
run list -a -l
for i in "${!NAMES[@]}"; do
    line=$(printf 'Process : %s : ID Process = 0x%08x' "${NAMES[$i]}" "${PIDS[$i]}")
    grep -qxF "$line" "$WORK/list.out" || fail "list: no line '$line'"
done

# 3. A set selects each process, and its thread, by the instance name; the
#    figures are that process's own (its creator is this script).
for i in "${!NAMES[@]}"; do
    name=${NAMES[$i]}
    run "set$i" -s '{Process' -i "$name" -c 'ID Process' 'Creating Process ID}' \
        -s '{Thread' -i "$name/0" -c 'ID Process}' -l -d
    expected=$(printf 'Process : %s : Creating Process ID = %d\nProcess : %s : ID Process = %d\nThread : %s/0 : ID Process = %d' \
        "$name" $$ "$name" "${PIDS[$i]}" "$name" "${PIDS[$i]}")
    [ "$(cat "$WORK/set$i.out")" = "$expected" ] ||
        fail "set '$name': got [$(cat "$WORK/set$i.out")], expected [$expected]"
done

# 4. Two processes of one odd name: #0 and #1 in the paths, both selected.
run twins -s '{Process' -i "$TWIN" -c 'ID Process}' -l -d
got=$(grep -F "Process : $TWIN : ID Process = " "$WORK/twins.out" | sed 's/.* = //' | sort -n | tr '\n' ' ')
want=$(printf '%s\n' "${TWIN_PIDS[@]}" | sort -n | tr '\n' ' ')
[ "$got" = "$want" ] || fail "twins: pids [$got], expected [$want]"

# 5. The raw name selects nothing.
status=0
"$BIN" -s '{Process' -i '(in parens)' -c 'ID Process}' -l > "$WORK/raw.out" 2> "$WORK/raw.err" || status=$?
[ "$status" -eq 4 ] && [ ! -s "$WORK/raw.out" ] &&
    [ "$(cat "$WORK/raw.err")" = "Error: No performance data is available on the items you requested." ] ||
    fail "raw name: exit status $status, output [$(cat "$WORK/raw.out" "$WORK/raw.err")]"

note "$((${#NAMES[@]} + 2)) processes of odd names listed, sampled in every format and selected by name"
