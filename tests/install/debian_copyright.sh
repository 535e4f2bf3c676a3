#!/usr/bin/env bash
# The package's copyright file against the project's licence:
#   debian_copyright.sh COPYRIGHT LICENSE
# The file is in Debian's machine-readable format (a Format header, one Files
# paragraph, continuation lines indented, blank lines written " ."); its
# Copyright field is LICENSE's holder and its Expat text, unindented, is
# LICENSE's terms word for word.
set -uo pipefail
copyright=$1
license=$2
. "$(dirname "$0")/checks.bash"

field() { # field NAME: the first line of a field's value
    sed -n "s/^$1: //p" "$copyright" | head -n 1
}

expect "format" "$(field Format)" "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
expect "upstream name" "$(field Upstream-Name)" "mirekast"
expect "files" "$(field Files)" "*"
expect "holder" "$(field Copyright)" "$(sed -n 's/^Copyright (c) //p' "$license")"
expect "licence" "$(field License)" "Expat"
expect "paragraphs (header, then Files)" "$(grep -c '^$' "$copyright")" 1

# The licence text: every line after "License: Expat", which must all be
# continuation lines.
awk 'found { print } /^License: Expat$/ { found = 1 }' "$copyright" >"$scratch/indented"
if grep -qv '^ ' "$scratch/indented"; then
    fail "a line of the licence text is not indented: $(grep -v '^ ' "$scratch/indented" | head -n 1)"
else
    pass
fi
sed -e 's/^ //' -e 's/^\.$//' "$scratch/indented" >"$scratch/terms"
# LICENSE's terms: all after its title, copyright line and the blank lines
# around them.
sed '1,4d' "$license" >"$scratch/license_terms"
if [ "$(sed -n 1p "$license")" = "MIT License" ] && [ -z "$(sed -n 2p "$license")" ] &&
   diff "$scratch/license_terms" "$scratch/terms" >"$scratch/diff"; then
    pass
else
    fail "the licence text differs from LICENSE's:"
    cat "$scratch/diff"
fi
finish
