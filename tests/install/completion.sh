#!/usr/bin/env bash
# The bash completion, called as bash calls it (COMP_WORDS, COMP_CWORD), in a
# fresh bash for each case:
#   completion.sh COMPLETION_FILE MIREKAST
# First against a stand-in mirekast on PATH whose listings are fixed, so that
# every answer is known; then against the real program, whose object names
# must come back as they are listed, quoted where they hold blanks.
set -uo pipefail
completion=$1
binary=$2

. "$(dirname "$0")/checks.bash"

# Prints the completions, one a line, for the command line given as words;
# the last word is the one being completed.  PATH is the caller's.
complete_words() {
    bash --norc --noprofile -c '
        source "$1" || exit 1
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _mirekast mirekast "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        ((${#COMPREPLY[@]})) && printf "%s\n" "${COMPREPLY[@]}"
        exit 0' completion "$completion" "$@" 2>"$scratch/stderr"
}

# expect "WORD..." -- COMPLETION...: the completions, in any order, are
# exactly these, and the function writes nothing on standard error.
expect() {
    local words=() wanted=()
    while [ "$1" != -- ]; do words+=("$1"); shift; done
    shift
    wanted=("$@")
    local got
    got=$(complete_words "${words[@]}" | sort)
    local want
    want=$( ((${#wanted[@]})) && printf '%s\n' "${wanted[@]}" | sort)
    if [ "$got" = "$want" ] && [ ! -s "$scratch/stderr" ]; then
        pass
    else
        fail "completing [${words[*]}]:"
        diff <(echo "$want") <(echo "$got") | sed 's/^/    /'
        sed 's/^/    stderr: /' "$scratch/stderr"
    fi
}

# --- The stand-in: listings of a shape the program prints, with names that
# need quoting; it notes how it was asked.
mkdir "$scratch/bin"
cat >"$scratch/bin/mirekast" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"${0%/*}/asked"
case "$*" in
    "-LO -a")
        printf 'System Performance Objects:\n'
        printf '\t%s\n' Processor Process Memory "Network Interface" 'Odd $name'
        ;;
    "-L -a")
        printf 'System Performance Objects:\n'
        printf '\tProcessor\n\t    Performance Object Instances:\n\t\t0\n\t\t1\n\t\t_Total\n'
        printf '\t    Performance Object Counters:\n\t\t%% Processor Time\n\t\t%% User Time\n\t\tInterrupts/sec\n'
        printf '\tProcess\n\t    Performance Object Instances:\n\t\tbash\n\t\tbash\n\t\tkworker_0:1\n\t\twe"ird\n\t\ta{b}\n\t\t-x\n'
        printf '\t    Performance Object Counters:\n\t\tID Process\n\t\tElapsed Time\n'
        printf '\tMemory\n\t    Performance Object Instances:\n\t\tUNNAMED\n'
        printf '\t    Performance Object Counters:\n\t\tAvailable MBytes\n\t\tFree & Zero Page List Bytes\n'
        printf '\tNetwork Interface\n\t    Performance Object Instances:\n\t\tlo\n\t\teth0\n'
        printf '\t    Performance Object Counters:\n\t\tBytes Received/sec\n'
        ;;
    *) exit 4 ;;
esac
STUB
chmod +x "$scratch/bin/mirekast"
real_path=$PATH
PATH=$scratch/bin:$PATH

if bash -n "$completion"; then pass; else fail "$completion does not parse"; fi
registered=$(bash --norc --noprofile -c 'source "$1" && complete -p mirekast' _ "$completion")
if [[ $registered == *"-F _mirekast"* ]]; then
    pass
else
    fail "sourcing $completion does not register _mirekast for mirekast"
fi

# Options: all of them on an empty word, by prefix otherwise; they are the
# options of the help text.
mapfile -t help_options < <("$binary" -h | grep -oE $'^\t-[A-Za-z0-9]+' | tr -d '\t')
expect mirekast "" -- "${help_options[@]}"
expect mirekast -l -- -l -ll
expect mirekast -L -- -L -LO
expect mirekast -r -- -r -r1
expect mirekast -a -- -a
expect mirekast x --
# The value of -sw and -cw: nothing to offer.
expect mirekast -sw "" --
expect mirekast -a -cw "" --
expect mirekast -a -cw 1 --
expect mirekast -cw -s "" -- "${help_options[@]}"
expect mirekast -sw 100 -s -- -s -sw
# Long options once the word begins with "--"; the forms after --format,
# also after the "=" at which bash splits "--format=".
expect mirekast --c -- --count
expect mirekast -a --h -- --help
expect mirekast -a --f -- --format
expect mirekast -a --format "" -- csv json prometheus
expect mirekast -a --format p -- prometheus
expect mirekast -a --format = j -- json
expect mirekast -a --format = "" -- csv json prometheus
expect mirekast -a --count "" --
expect mirekast -a --interval = "" --
expect mirekast -a --count 2 -r -- -r -r1
expect mirekast -a --format csv --c -- --count
: >"$scratch/bin/asked"
# Objects after -s: glued to the brace, or after a brace of its own.
expect mirekast -s "" -- "{Processor" "{Process" "{Memory" '{"Network Interface"' "{'Odd \$name'"
if grep -qx -- "-LO -a" "$scratch/bin/asked"; then pass; else fail "the object names were not asked of mirekast -LO -a"; fi
expect mirekast -s "{" -- "{Processor" "{Process" "{Memory" '{"Network Interface"' "{'Odd \$name'"
expect mirekast -s "{Pro" -- "{Processor" "{Process"
expect mirekast -s "{Net" -- '{"Network Interface"'
expect mirekast -s "{" "" -- Processor Process Memory '"Network Interface"' "'Odd \$name'"
expect mirekast -s "{" Net -- '"Network Interface"'
expect mirekast -s "{" 'Network\ I' -- '"Network Interface"'
expect mirekast -s "{" '"Network I' -- "Network Interface"
expect mirekast -s "{" x --
# Inside the set: -i after the object; instance names after -i, -c once one
# is given; counter names after -c, -i and the brace once one is given.
expect mirekast -s "{Processor" "" -- -i
expect mirekast -s "{Processor" -i "" -- '"*"' 0 1 _Total
expect mirekast -s "{Processor" -i _Total "" -- -c '"*"' 0 1 _Total
expect mirekast -s "{Processor" -i _Total -c "" -- '"*"' '"% Processor Time"' '"% User Time"' Interrupts/sec
expect mirekast -s "{Processor" -i _Total -c % -- '"% Processor Time"' '"% User Time"'
expect mirekast -s "{Processor" -i _Total -c '"% P' -- "% Processor Time"
expect mirekast -s "{Processor" -i _Total -c Interrupts/sec "" -- -i "}" '"*"' '"% Processor Time"' '"% User Time"' Interrupts/sec
expect mirekast -s "{Processor" -i _Total -c Interrupts/sec -i 0 -c "" -- '"*"' '"% Processor Time"' '"% User Time"' Interrupts/sec
expect mirekast -s "{" '"Network Interface"' -i "" -- '"*"' lo eth0
expect mirekast -s '{"Network Interface"' -i e -- eth0
expect mirekast -s "{" 'Network\ Interface' -i lo -c B -- '"Bytes Received/sec"'
# An object without instances takes only "*"; duplicates come once; names
# the shell would cut or expand are quoted.
expect mirekast -s "{Memory" -i "" -- '"*"'
expect mirekast -s "{Memory" -i '"*"' -c F -- '"Free & Zero Page List Bytes"'
expect mirekast -s "{Process" -i b -- bash
expect mirekast -s "{Process" -i k -- '"kworker_0:1"'
expect mirekast -s "{Process" -i w -- "'we\"ird'"
# Braces, backslashes and a leading dash come escaped as a set needs them.
expect mirekast -s "{Process" -i a -- "'a\\{b\\}'"
expect mirekast -s "{Process" -i "'\\-" -- '\-x'
expect mirekast -s "{Process" -i "'a\\{" -- 'a\{b\}'
# After the set is closed, glued or alone, options again.
expect mirekast -s "{Processor" -i _Total -c 'Interrupts/sec}' -r -- -r -r1
expect mirekast -s "{Processor" -i _Total -c Interrupts/sec "}" -l -- -l -ll
expect mirekast -s "{Processor" -i _Total -c 'a\}' "" -- -i "}" '"*"' '"% Processor Time"' '"% User Time"' Interrupts/sec
# No program to ask: no names, and no complaint.
expect ./no-such-mirekast -s "{" --
expect ./no-such-mirekast -s "{Processor" -i "" -- '"*"'

# --- The real program: every object it lists comes back, quoted when it
# holds blanks, glued to the brace and after a brace of its own.
PATH=$real_path
mapfile -t objects < <("$binary" -LO -a | sed -n 's/^\t//p')
quoted=()
for object in "${objects[@]}"; do
    if [[ $object == *" "* ]]; then quoted+=("\"$object\""); else quoted+=("$object"); fi
done
[ ${#objects[@]} -gt 0 ] || fail "$binary lists no objects"
expect "$binary" -s "{" "" -- "${quoted[@]}"
glued=()
for object in "${quoted[@]}"; do glued+=("{$object"); done
expect "$binary" -s "{" -- "${glued[@]}"
for object in "${objects[@]}"; do
    if [ "$object" = "Network Interface" ]; then
        expect "$binary" -s "{Netw" -- '{"Network Interface"'
    fi
done
# The counters of one object, from its listing.
if [[ " ${objects[*]} " == *" Processor "* ]]; then
    got=$(complete_words "$binary" -s "{Processor" -i _Total -c "")
    if grep -qxF '"% Processor Time"' <<<"$got" && grep -qxF '"*"' <<<"$got"; then
        pass
    else
        fail "the counters of Processor do not come from $binary: $got"
    fi
fi

finish
