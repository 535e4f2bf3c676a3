# Sourced by every system check: the binary under test, a private scratch
# folder, deadlines that allow for a sanitized build, and the report checkers.
# Not a check itself (CTest runs only the *.sh files beside it).

set -u
export LC_ALL=C

BIN=${1:-}
if [ -z "$BIN" ] || [ ! -x "$BIN" ]; then
    echo "usage: $0 PATH_TO_MIREKAST (got '${BIN}')" >&2
    exit 2
fi
BIN=$(cd "$(dirname "$BIN")" && pwd)/$(basename "$BIN")
CHECK=$(basename "$0" .sh)

# A binary built with AddressSanitizer runs several times slower; every
# deadline is multiplied by SLOW.
if grep -qa __asan_init "$BIN"; then
    SANITIZED=1
    SLOW=4
else
    SANITIZED=0
    SLOW=1
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/mirekast-$CHECK.XXXXXX")
CLEANUPS=()
cleanup() {
    local step
    for step in "${CLEANUPS[@]}"; do
        eval "$step" || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
on_exit() { CLEANUPS+=("$1"); }

fail() {
    echo "FAIL [$CHECK]: $*" >&2
    exit 1
}

skip() {
    echo "SKIP [$CHECK]: $*" >&2
    exit 77
}

note() {
    echo "[$CHECK] $*"
}

# wait_until SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds;
# fails when SECONDS (times SLOW) pass first.
wait_until() {
    local limit=$(($1 * SLOW * 10))
    shift
    local tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -lt "$limit" ] || return 1
        sleep 0.1
    done
}

# run LABEL ARGS...: runs the binary with ARGS, its output in LABEL.out and
# LABEL.err; the run must end with 0 and write nothing on standard error.
run() {
    local label=$1
    shift
    local status=0
    "$BIN" "$@" < /dev/null > "$WORK/$label.out" 2> "$WORK/$label.err" || status=$?
    [ "$status" -eq 0 ] || fail "$label: exit status $status: $(head -c 2000 "$WORK/$label.err")"
    [ ! -s "$WORK/$label.err" ] || fail "$label: standard error: $(head -c 2000 "$WORK/$label.err")"
}

# check_tables FILE: every line of a table report is a title, a blank line or
# a table line; a table line starts with '|', is as long as the others of its
# table, has a border (| + or blank) after every cell, and its rule rows are
# dashes.  The first line of every body row holds, after the instance name,
# only 8-digit hex values or blank cells.  Prints "tables=N" on success.
check_tables() {
    awk '
        function bad(why) { printf "%s:%d: %s\n  [%s]\n", FILENAME, NR, why, $0; failed = 1; exit 1 }
        function isRule(line,    i, c) {
            for (i = 0; i < cells; i++) {
                c = substr(line, 2 + i * (w + 1), w)
                if (c != dashes && c != blanks) return 0
            }
            return substr(line, 2, w) == dashes
        }
        BEGIN { state = "none"; tables = 0 }
        /^$/ { state = "none"; next }
        /^_/ { if (state != "none") bad("title inside a table"); state = "title"; tables++; next }
        {
            if (state == "none") bad("table line without a title")
            if (substr($0, 1, 1) != "|") bad("table line not starting with |")
            if (state == "title") {
                # The first header cell is blank: its border gives the width.
                w = index(substr($0, 2), "|") - 1
                if (w < 8) bad("no cell width")
                len = length($0)
                if ((len - 1) % (w + 1) != 0) bad("length not a whole number of cells")
                cells = (len - 1) / (w + 1)
                dashes = blanks = ""
                for (i = 0; i < w; i++) { dashes = dashes "-"; blanks = blanks " " }
                state = "header"
            }
            if (length($0) != len) bad("line length differs within the table")
            for (i = 1; i <= cells; i++) {
                b = substr($0, 1 + i * (w + 1), 1)
                if (b != "|" && b != "+" && b != " ") bad("bad border " b)
            }
            if (isRule($0)) { state = "rowstart"; next }
            if (state == "rowstart") {
                for (i = 1; i < cells; i++) {
                    c = substr($0, 2 + i * (w + 1), w)
                    if (c == blanks) continue
                    if (c !~ /^[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f] *$/)
                        bad("value cell not 8 hex digits: [" c "]")
                }
                state = "row"
            } else if (state == "row") {
                for (i = 1; i < cells; i++)
                    if (substr($0, 2 + i * (w + 1), w) != blanks) bad("value on a continuation line")
            }
        }
        END {
            if (failed) exit 1
            if (tables == 0) { print FILENAME ": no table"; exit 1 }
            if (state != "none") { print FILENAME ": ends inside a table"; exit 1 }
            print "tables=" tables
        }' "$1"
}

# check_decimal_list FILE OBJECT...: every line is "Object : Instance :
# Counter = value" of one of the OBJECTs with a decimal value of at least -1;
# percentages are at most 100.  A trailing line without its newline (a run
# ended by a signal mid-write) is ignored.
check_decimal_list() {
    local file=$1
    shift
    local objects
    objects=$(printf '%s|' "$@")
    if [ -s "$file" ] && [ -n "$(tail -c 1 "$file")" ]; then
        head -n -1 "$file" > "$file.whole"
        file=$file.whole
    fi
    awk -v objects="${objects%|}" '
        function bad(why) { printf "%s:%d: %s\n  [%s]\n", FILENAME, NR, why, $0; exit 1 }
        BEGIN { pattern = "^(" objects ") : .* : [^:]+ = -?[0-9]+$" }
        {
            if ($0 !~ pattern) bad("not a list line")
            value = $0; sub(/.* = /, "", value)
            if (value + 0 < -1) bad("value below -1")
            if ($0 ~ / : % [^:]* = / && value + 0 > 100) bad("percentage above 100")
        }' "$file"
}
