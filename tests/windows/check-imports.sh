#!/usr/bin/env bash
# Checks that each Windows module imports only system DLLs: nothing has to be copied beside it.
# Not even our own DLL: a program importing it would run two copies of the static toolkit, and
# the DLL's copy has no application object.
#   check-imports.sh OBJDUMP MODULE...
set -u
objdump=$1; shift
system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|winspool\.drv|ws2_32|iphlpapi|crypt32|bcrypt|secur32|normaliz|shlwapi|version|uxtheme|oleacc|uuid|rpcrt4|winmm|imm32|msvcrt|api-ms-win-.*)\.dll$'
rc=0
for m in "$@"; do
    for d in $("$objdump" -p "$m" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        if ! printf '%s\n' "$d" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
            echo "check-imports: $(basename "$m") needs $d" >&2
            rc=1
        fi
    done
    echo "check-imports: $(basename "$m") $(stat -c %s "$m") bytes"
done
exit $rc
