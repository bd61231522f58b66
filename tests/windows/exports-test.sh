#!/usr/bin/env bash
# VaveZAZ.dll as a Windows host's loader sees it, read from its export and
# import tables: exactly the entry points the interface header declares,
# undecorated, nothing else; the camera API taken from icon.dll at load; a
# DLL of the expected machine type.
# Usage: exports-test.sh OBJDUMP DLL HEADER FORMAT   (FORMAT e.g. pei-i386)
set -euo pipefail
objdump=$1
dll=$2
header=$3
format=$4

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

table=$("$objdump" -p "$dll") || fail "cannot read $dll"

grep -q "file format $format\$" <<<"$table" || fail "$dll is not $format: $(grep 'file format' <<<"$table")"

# The export name table: lines "[ n] name" after its heading, up to a blank line.
exported=$(awk '/\[Ordinal\/Name Pointer\] Table/ {inside = 1; next}
                inside && NF == 0 {inside = 0}
                inside {print $NF}' <<<"$table" | sort)
declared=$(sed -n 's/^CVL_EXPORT .*[ *]\([A-Za-z]\{1,\}\)(.*/\1/p' "$header" | sort)

[ "$(wc -l <<<"$declared")" -eq 18 ] || fail "the header declares $(wc -l <<<"$declared") entry points, not 18"
if [ "$exported" != "$declared" ]; then
    echo "exported:" >&2
    echo "$exported" >&2
    fail "the export table is not the header's 18 entry points: $(diff <(echo "$declared") <(echo "$exported") | grep '^[<>]' | tr '\n' ' ')"
fi

grep -q "DLL Name: icon.dll" <<<"$table" || fail "$dll does not import icon.dll"
grep -Eq "^Name[[:space:]]+[0-9a-f]+ VaveZAZ.dll$" <<<"$table" || fail "$dll does not call itself VaveZAZ.dll"
echo "OK: $(wc -l <<<"$exported") exports, undecorated; imports icon.dll; $format"
