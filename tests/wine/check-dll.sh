#!/bin/sh
# kelpin.dll must export exactly the four entry points under their decorated
# names and import nothing but system DLLs (no MinGW runtime beside it).
set -eu
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll")

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
expected=$(printf '%s\n' _AddInCommand@4 _AddInHelp@12 _AddInMain@8 _AddInSetup@8)
if [ "$exports" != "$expected" ]; then
    echo "export table differs:"; printf 'got:\n%s\nexpected:\n%s\n' "$exports" "$expected"
    exit 1
fi

imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll_name in $imports; do
    case $dll_name in
        kernel32.dll|user32.dll|comdlg32.dll|advapi32.dll|msvcrt.dll|gdi32.dll) ;;
        *) echo "imports a DLL that is not a system DLL: $dll_name"; exit 1 ;;
    esac
done

printf '%s\n' "$dump" | grep -q 'Magic.*010b' || { echo "not a 32-bit PE image"; exit 1; }
echo "exports: $(echo $exports)"
echo "imports: $(echo $imports)"
