#!/usr/bin/env bash
# Checks a DLL's export table against a module-definition file: every "NAME @N" of the file is
# exported under that name at ordinal N, and the other exports (the classes) come after them.
# With NM (a 32-bit DLL): each of those names is also the address of its __stdcall symbol
# _NAME@BYTES, so a host calling through the plain name gets the function it declared, and the
# import library beside the DLL offers that decorated symbol, so such a host links. Exits 77
# when the DLL is not there (the 32-bit one is built on request only).
#   check-exports.sh OBJDUMP DLL DEF [NM]
set -u
objdump=$1 dll=$2 def=$3 nm=${4:-}
[ -f "$dll" ] || { echo "check-exports: $dll is not built"; exit 77; }
table=$("$objdump" -p "$dll") || exit 1
base=$(printf '%s\n' "$table" | sed -n 's/^Ordinal Base[[:space:]]*//p')
image=$(printf '%s\n' "$table" | sed -n 's/^ImageBase[[:space:]]*//p')
# "[index] +base[ordinal] RVA" lines of the address table.
rvas=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*\[[ 0-9]*\] +base\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([0-9a-f]*\).*/\1 \2/p')
symbols=
[ -z "$nm" ] || symbols=$("$nm" "$dll") || exit 1
[ -z "$nm" ] || imports=$("$nm" "${dll%.dll}.lib") || exit 1
# "[index] name" lines of the name table: the ordinal is index + base.
exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([^[:space:]]*\).*/\1 \2/p' |
    awk -v b="$base" '{print $1 + b, $2}')
rc=0; n=0; stdcall=
while read -r name ord; do
    got=$(printf '%s\n' "$exports" | awk -v n="$name" '$2 == n {print $1}')
    if [ "$got" != "$ord" ]; then
        echo "check-exports: $name at [${got:-missing}], want $ord" >&2
        rc=1
    elif [ -n "$nm" ]; then
        rva=$(printf '%s\n' "$rvas" | awk -v o="$ord" '$1 == o {print $2}')
        at=$(printf '%x' $((0x$image + 0x${rva:-0})))
        sym=$(printf '%s\n' "$symbols" | awk -v a="$at" -v n="$name" \
            '$2 == "T" && $3 ~ "^_" n "@[0-9]+$" && ($1 ~ "^0*" a "$") {print $3}')
        [ -n "$sym" ] || { echo "check-exports: $name (@$ord) is no __stdcall _$name@N" >&2; rc=1; }
        grep -qx "[0-9a-f]* I __imp_${sym:-none}" <<<"$imports" ||
            { echo "check-exports: the import library has no ${sym:-_$name@N}" >&2; rc=1; }
        stdcall+=${sym:+ $sym}
    fi
    n=$((n + 1))
done < <(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]*@\([0-9]*\).*/\1 \2/p' "$def")
max=$(sed -n 's/.*@\([0-9]*\).*/\1/p' "$def" | sort -n | tail -n1)
others=$(printf '%s\n' "$exports" | awk -v m="$max" '$1 > m' | wc -l)
lower=$(printf '%s\n' "$exports" | awk -v m="$max" '$1 <= m' | wc -l)
[ "$lower" = "$n" ] || { echo "check-exports: $lower exports at ordinals 1..$max, want $n" >&2; rc=1; }
[ "$others" -gt 0 ] || { echo "check-exports: no class interface after ordinal $max" >&2; rc=1; }
echo "check-exports: $n functions at their ordinals, $others more exports after ordinal $max"
[ -z "$nm" ] || echo "check-exports: stdcall symbols:$stdcall"
exit $rc
