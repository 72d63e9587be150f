#!/usr/bin/env bash
# The import library of the 32-bit DLL. The linker's own, with --kill-at, names the functions
# without their __stdcall decoration, so a host compiled against ZorTavlinApi.h, which asks for
# _GetIO@12, would not link. This one is made from the DLL's export table: every plain name
# bound to its decorated symbol, imported by that plain name at the same ordinal.
#   stdcall-implib.sh OBJDUMP NM DLLTOOL DLL LIB
set -euo pipefail
objdump=$1 nm=$2 dlltool=$3 dll=$4 lib=$5
def=$lib.def
{
    echo "LIBRARY $(basename "$dll")"
    echo EXPORTS
    # The decorated functions first (NAME -> NAME@BYTES), then each "[index] name" of the table.
    awk 'NR == FNR { if ($2 == "T" && $3 ~ /^_[A-Za-z0-9_]+@[0-9]+$/) {
                         split(substr($3, 2), p, "@"); dec[p[1]] = substr($3, 2) }
                     next }
         /^Ordinal Base/ { base = $3 }
         /\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
         names && /^[[:space:]]*$/ { names = 0 }
         names && match($0, /\[ *[0-9]+\] /) {
             i = substr($0, RSTART + 1, RLENGTH - 3) + 0
             print "    " ($NF in dec ? dec[$NF] : $NF) " @" i + base }' <("$nm" "$dll") <("$objdump" -p "$dll")
} >"$def"
"$dlltool" --kill-at -d "$def" -D "$(basename "$dll")" -l "$lib"
