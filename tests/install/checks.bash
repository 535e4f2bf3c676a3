# Sourced by the install checks: a scratch folder removed at the end, and the
# counting of checks.  Not a check itself (CTest runs the *.sh files beside it).
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
checks=0
pass() { checks=$((checks + 1)); }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL: $*"; }
expect() { # expect DESCRIPTION ACTUAL WANTED: passes when the two are equal
    if [ "$2" = "$3" ]; then pass; else fail "$1:"$'\n'"$2"$'\n'"wanted:"$'\n'"$3"; fi
}
# The last line of a check: the count, and its exit status.
finish() {
    echo "$checks checks, $failures failed"
    [ $failures -eq 0 ]
}
