#!/usr/bin/env bash
# The manual page against the program it describes:
#   man_page.sh MIREKAST PAGE      (PAGE: mirekast.1, or mirekast.1.gz as installed)
# It renders without a single troff warning; its OPTIONS are exactly the
# options of the help text; its version is the program's; it names every exit
# status; on Linux it lists every object and counter the program serves, and
# marks as needing two collections exactly those that do; its set examples
# run, and its output examples have the shape the program prints.
# Exit 77 (skipped) when groff is not installed.
set -uo pipefail
binary=$1
page=$2

command -v groff >/dev/null || { echo "groff is not installed"; exit 77; }

. "$(dirname "$0")/checks.bash"
contains() { # contains WORD LIST...: whether WORD is one of the LIST
    local word=$1 item
    shift
    for item in "$@"; do [ "$item" = "$word" ] && return 0; done
    return 1
}
# Runs the program for a listing or a sample of every object.  When a process
# starts while the program sizes and then fills an object's item list, the
# program ends with status 2 (the list no longer fits); that is the machine
# changing, not the page, so such a run is repeated a few times.
sample() {
    local attempt status
    for attempt in 1 2 3 4 5; do
        "$binary" "$@" >"$scratch/attempt.out" 2>"$scratch/attempt.err"
        status=$?
        [ $status -eq 2 ] || break
    done
    cat "$scratch/attempt.out"
    cat "$scratch/attempt.err" >&2
    return $status
}

source_page=$scratch/mirekast.1
case $page in
    *.gz) gzip -dc "$page" >"$source_page" || { echo "FAIL: cannot unpack $page"; exit 1; } ;;
    *) cp "$page" "$source_page" ;;
esac

# --- Rendering: no warning of any kind, from groff and from man.
groff -man -Tutf8 -ww -z "$source_page" 2>"$scratch/warnings"
if [ -s "$scratch/warnings" ]; then
    fail "groff warns:"; cat "$scratch/warnings"
else
    pass
fi
if command -v man >/dev/null; then
    MANPAGER=cat MANWIDTH=80 man --warnings=w -l "$page" >"$scratch/man.txt" 2>"$scratch/warnings"
    if [ -s "$scratch/warnings" ] || ! grep -q '^NAME' "$scratch/man.txt"; then
        fail "man -l does not render the page cleanly:"; cat "$scratch/warnings"
    else
        pass
    fi
fi

# Plain text, one line per paragraph, for reading the page back.
groff -man -Tascii -P-cbou -rLL=5000n "$source_page" 2>/dev/null >"$scratch/page.txt"

# Prints the lines of one section (its heading is a line of its own).
section() { awk -v name="$1" '$0 == name { on = 1; next } /^[A-Z]/ { on = 0 } on' "$scratch/page.txt"; }

# Prints "tag<TAB>text" for each tagged paragraph of a section: the tag at
# column 8 and the text at column 15, on the next line after a long tag, on
# the tag's own line after a short one.  (One line per paragraph.)
tagged() {
    section "$1" | awk '
        function flush() {
            if (pending == "") return
            if (substr(pending, 14, 1) == " " && substr(pending, 15, 1) != " " && length(pending) > 14) {
                tag = substr(pending, 8, 7); sub(/ +$/, "", tag); print tag "\t" substr(pending, 15)
            } else {
                print substr(pending, 8) "\t"
            }
            pending = ""
        }
        /^       [^ ]/ { flush(); pending = $0; next }
        /^              [^ ]/ {
            if (pending != "") { print substr(pending, 8) "\t" substr($0, 15); pending = "" }
            next
        }
        { flush() }
        END { flush() }'
}

# --- OPTIONS: the options of the help text, and no other.
"$binary" -h >"$scratch/help.txt"
mapfile -t help_options < <(grep -oE $'^\t-[A-Za-z0-9]+' "$scratch/help.txt" | tr -d '\t')
mapfile -t page_options < <(tagged OPTIONS | cut -f1 | grep -- '^-' | awk '{ print $1 }')
if [ ${#help_options[@]} -lt 14 ]; then
    fail "found only ${#help_options[@]} options in the help text: ${help_options[*]}"
fi
for option in "${help_options[@]}"; do
    if contains "$option" "${page_options[@]}"; then pass; else fail "option $option of the help text is not in OPTIONS"; fi
done
for option in "${page_options[@]}"; do
    if contains "$option" "${help_options[@]}"; then pass; else fail "OPTIONS describes $option, which the help text does not have"; fi
done

# --- The version in the page footer is the program's.
version=$("$binary" -v | sed -n 's/^Mirekast: Mirekast version //p')
footer=$(grep -v '^$' "$scratch/page.txt" | tail -n 1)
if [ -n "$version" ] && [[ $footer == "Mirekast $version "* ]]; then pass; else fail "footer \"$footer\" does not carry version \"$version\""; fi

# --- EXIT STATUS names 0 to 5.
mapfile -t statuses < <(tagged "EXIT STATUS" | cut -f1)
for status in 0 1 2 3 4 5; do
    if contains "$status" "${statuses[@]}"; then pass; else fail "EXIT STATUS lacks $status"; fi
done

# --- Objects and counters of the Linux build.
if [ "$(uname -s)" = Linux ]; then
    tagged "OBJECTS ON LINUX" >"$scratch/objects.txt"
    # object<TAB>counter for everything the program serves.
    sample -L -a >"$scratch/listing.txt" || fail "no listing of the objects"
    awk '
        /^\t    Performance Object Instances:$/ { part = "i"; next }
        /^\t    Performance Object Counters:$/ { part = "c"; next }
        /^\t\t/ { if (part == "c") { sub(/^\t\t/, ""); print object "\t" $0 }; next }
        /^\t/ { object = substr($0, 2); part = "" }' "$scratch/listing.txt" >"$scratch/served.txt"
    mapfile -t objects < <(sed -n 's/^\t\([^\t ]\)/\1/p' "$scratch/listing.txt")
    [ ${#objects[@]} -gt 0 ] || fail "the program lists no objects"
    for object in "${objects[@]}"; do
        text=$(awk -F'\t' -v o="$object" '$1 == o { print $2 }' "$scratch/objects.txt")
        if [ -z "$text" ]; then fail "OBJECTS ON LINUX lacks $object"; continue; fi
        pass
        while IFS=$'\t' read -r served_object counter; do
            [ "$served_object" = "$object" ] || continue
            if [[ $text == *[:,]" $counter"[,.]* || $text == *[:,]" $counter ("* ]]; then
                pass
            else
                fail "OBJECTS ON LINUX: $object lacks counter \"$counter\""
            fi
        done <"$scratch/served.txt"
    done
    while IFS=$'\t' read -r object text; do
        [[ $text == *"Counter"* ]] || continue
        if contains "$object" "${objects[@]}"; then pass; else fail "OBJECTS ON LINUX describes $object, which the program does not serve"; fi
    done <"$scratch/objects.txt"

    # A counter marked (2) has no value after one collection; one not marked
    # that has a value after two collections has one after a single one too.
    sample -a -l -d >"$scratch/once.txt" || fail "no sample of all objects"
    sets=()
    for object in "${objects[@]}"; do sets+=(-s "{$object" -i '*' -c '*}'); done
    sample "${sets[@]}" -r1 -l -d >"$scratch/twice.txt" || fail "no sample of every counter"
    valued() { # object<TAB>counter of every counter with some value other than -1
        awk '{ object = substr($0, 1, index($0, " : ") - 1)
               value = $NF; line = $0; sub(/ = [^=]*$/, "", line)
               counter = line; sub(/^.* : /, "", counter)
               if (value != "-1") print object "\t" counter }' "$1" | sort -u
    }
    valued "$scratch/once.txt" >"$scratch/once.valued"
    valued "$scratch/twice.txt" >"$scratch/twice.valued"
    while IFS=$'\t' read -r object counter; do
        text=$(awk -F'\t' -v o="$object" '$1 == o { print $2 }' "$scratch/objects.txt")
        marked=no
        [[ $text == *[:,]" $counter (2)"* ]] && marked=yes
        once=no
        grep -qxF "$object"$'\t'"$counter" "$scratch/once.valued" && once=yes
        twice=no
        grep -qxF "$object"$'\t'"$counter" "$scratch/twice.valued" && twice=yes
        if [ $marked = yes ] && [ $once = yes ]; then
            fail "$object: \"$counter\" is marked (2) but has a value after one collection"
        elif [ $marked = no ] && [ $twice = yes ] && [ $once = no ]; then
            fail "$object: \"$counter\" needs two collections but is not marked (2)"
        else
            pass
        fi
    done <"$scratch/served.txt"
fi

# --- Examples.  The sets of SETS run and sample something; the commands of
# OUTPUT print what the page shows, but for the values.
examples() { # the commands of a section that begin with $1, joined across "\" lines
    section "$2" | awk -v start="       $1" '
        index($0, start) == 1 { command = substr($0, length(start) + 1); more = 1 }
        more && !index($0, start) { command = command " " $0 }
        more { if (command ~ /\\$/) { sub(/\\$/, "", command); next } print command; more = 0 }'
}
run_example() { ( mirekast() { sample "$@"; }; eval "$1" ) </dev/null; }
mapfile -t set_examples < <(examples "mirekast " SETS | sed 's/^/mirekast /')
[ ${#set_examples[@]} -ge 5 ] || fail "found only ${#set_examples[@]} examples in SETS"
for example in "${set_examples[@]}"; do
    if ! run_example "$example" >"$scratch/out" 2>"$scratch/err" || [ -s "$scratch/err" ]; then
        fail "example does not run cleanly: $example"; head -5 "$scratch/err"
        continue
    fi
    # Every set of it shows up: as a table title, or at the head of list lines.
    for object in $(grep -oE '\{[A-Za-z]+' <<<"$example" | tr -d '{'); do
        if grep -qE "^_+${object}_+\$|^${object} : " "$scratch/out"; then
            pass
        else
            fail "example prints nothing for its set of $object: $example"
        fi
    done
done

mask() { # values out of the way; a table cell keeps its width
    sed -E -e 's/0x[0-9a-f]{8}/0xH/g' -e 's/= -?[0-9]+$/= N/' |
        awk -F'|' -v OFS='|' '
            /^\|/ { for (i = 3; i < NF; i++) if ($i ~ /^[0-9a-f]+ *$/) $i = sprintf("%-" length($i) "s", "N") }
            { print }'
}
section OUTPUT | awk '
    /^       \$ mirekast / { n++; command = substr($0, 10); file = n; collecting = 1
                             while (command ~ /\\$/) { sub(/\\$/, "", command); getline more; sub(/^ +/, " ", more); command = command more }
                             print command > (dir "/example" n ".command"); next }
    collecting && /^$/ { collecting = 0; next }
    collecting { print substr($0, 8) > (dir "/example" file ".expected") }' dir="$scratch"
output_examples=0
for command_file in "$scratch"/example*.command; do
    [ -e "$command_file" ] || break
    output_examples=$((output_examples + 1))
    expected=${command_file%.command}.expected
    lines=$(wc -l <"$expected")
    if run_example "$(cat "$command_file")" >"$scratch/out" 2>"$scratch/err"; then
        if diff <(mask <"$expected") <(head -n "$lines" "$scratch/out" | mask) >"$scratch/diff"; then
            pass
        else
            fail "the output of \"$(cat "$command_file")\" differs from the page:"; cat "$scratch/diff"
        fi
    else
        fail "example fails: $(cat "$command_file")"; head -5 "$scratch/err"
    fi
done
[ $output_examples -ge 3 ] || fail "found only $output_examples output examples in OUTPUT"

finish
