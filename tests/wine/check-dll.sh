#!/bin/sh
# Checks kelpin.dll as a file, without running it:
#   check-dll.sh <win32|win64> <objdump> <kelpin.dll>
# the image kind of the architecture; exactly the four entry points under the
# names the host resolves there (stdcall-decorated on i686, plain on x86_64);
# imports from system DLLs only (no MinGW runtime beside it); and the
# resources the add-in loads: dialog templates 1001-1006, icons 8001-8006 and
# the version resource.
set -eu
arch=$1
objdump=$2
dll=$3
dump=$("$objdump" -p "$dll")
failed=0
fail() {
    echo "$@"
    failed=1
}

case $arch in
    win32) magic=010b kind="PE32 (i386)"
           names="_AddInCommand@4 _AddInHelp@12 _AddInMain@8 _AddInSetup@8" ;;
    win64) magic=020b kind="PE32+ (x86-64)"
           names="AddInCommand AddInHelp AddInMain AddInSetup" ;;
    *) echo "check-dll.sh: unknown architecture '$arch'"; exit 2 ;;
esac

printf '%s\n' "$dump" | grep -q "^Magic[[:space:]]*$magic" || fail "not a $kind image"

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
expected=$(printf '%s\n' $names)
if [ "$exports" != "$expected" ]; then
    fail "export table differs:"
    printf 'got:\n%s\nexpected:\n%s\n' "$exports" "$expected"
fi

imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll_name in $imports; do
    case $dll_name in
        kernel32.dll|user32.dll|comdlg32.dll|advapi32.dll|msvcrt.dll|gdi32.dll) ;;
        *) fail "imports a DLL that is not a system DLL: $dll_name" ;;
    esac
done

# The resource tree as "type id" pairs: type entries sit at the first level
# of the dump's indentation, name entries at the second.
resources=$(printf '%s\n' "$dump" | sed -n '/The .rsrc Resource Directory section/,$p' | awk '
    /^[0-9a-f]+   Entry: ID: / { type = $4; sub(",", "", type) }
    /^[0-9a-f]+     Entry: ID: / { id = $4; sub(",", "", id); print type, id }')
has_resource() { # type id, in decimal
    printf '%s\n' "$resources" | grep -qx "$(printf '0x%06x 0x%06x' "$1" "$2")"
}
for id in 1001 1002 1003 1004 1005 1006; do
    has_resource 5 "$id" || fail "no dialog template $id"
done
for id in 8001 8002 8003 8004 8005 8006; do
    has_resource 14 "$id" || fail "no icon $id"
done
has_resource 16 1 || fail "no version resource"

[ $failed -eq 0 ] || exit 1
echo "$kind"
echo "exports: $(echo $exports)"
echo "imports: $(echo $imports)"
echo "resources: dialogs 1001-1006, icons 8001-8006, version"
