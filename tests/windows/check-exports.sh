#!/usr/bin/env bash
# Checks a DLL's export table against a module-definition file: every "NAME @N" of the file is
# exported under that name at ordinal N, and the other exports (the classes) come after them.
#   check-exports.sh OBJDUMP DLL DEF
set -u
objdump=$1 dll=$2 def=$3
table=$("$objdump" -p "$dll") || exit 1
base=$(printf '%s\n' "$table" | sed -n 's/^Ordinal Base[[:space:]]*//p')
# "[index] name" lines of the name table: the ordinal is index + base.
exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([^[:space:]]*\).*/\1 \2/p' |
    awk -v b="$base" '{print $1 + b, $2}')
rc=0; n=0
while read -r name ord; do
    got=$(printf '%s\n' "$exports" | awk -v n="$name" '$2 == n {print $1}')
    if [ "$got" != "$ord" ]; then
        echo "check-exports: $name at [${got:-missing}], want $ord" >&2
        rc=1
    fi
    n=$((n + 1))
done < <(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]*@\([0-9]*\).*/\1 \2/p' "$def")
max=$(sed -n 's/.*@\([0-9]*\).*/\1/p' "$def" | sort -n | tail -n1)
others=$(printf '%s\n' "$exports" | awk -v m="$max" '$1 > m' | wc -l)
lower=$(printf '%s\n' "$exports" | awk -v m="$max" '$1 <= m' | wc -l)
[ "$lower" = "$n" ] || { echo "check-exports: $lower exports at ordinals 1..$max, want $n" >&2; rc=1; }
[ "$others" -gt 0 ] || { echo "check-exports: no class interface after ordinal $max" >&2; rc=1; }
echo "check-exports: $n functions at their ordinals, $others more exports after ordinal $max"
exit $rc
