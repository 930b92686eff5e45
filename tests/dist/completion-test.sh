#!/usr/bin/env bash
# The bash completion, sourced into bash and asked as bash asks it at a TAB:
# subcommands, options, file names after an option or argument that names a
# file, module names for a version module, nothing after a value that is a
# number or a text; and, for every command of the help, "-" gives exactly
# that command's options.
#   completion-test.sh <kelpin> <completion>
set -euo pipefail
kelpin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
# shellcheck source=/dev/null
source "$2"

[[ $(complete -p kelpin) == "complete -F _kelpin kelpin" ]] ||
    { echo "complete -p kelpin: $(complete -p kelpin 2>&1)"; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
touch stock.c store.txt version.c
mkdir include

# What a TAB after the words offers, sorted, on one line. The last word is
# the one being completed; kelpin is the program being completed.
offers() {
    COMP_WORDS=("$kelpin" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _kelpin
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

status=0
expect() { # expected, words...
    local want=$1 got
    shift
    got=$(offers "$@")
    if [[ $got != "$want" ]]; then
        echo "kelpin $* <TAB>: got \"$got\", expected \"$want\""
        status=1
    fi
}

expect "comment function functions lsp prototypes symbols tags version" ""
expect "function functions" fu
expect "--version" --v
expect "bump set show" version ""
expect "set show" version s
expect "function module" comment ""
expect "stock.c store.txt" comment module st
expect "--abstract --add-in --author" comment module stock.c --a
expect "--show --stdout --synopsis" comment function stock.c --line 3 --synopsis "a text" --s
expect "" comment function stock.c --output ""
expect "" function stock.c --line ""
expect "stock.c store.txt" prototypes stock.c --output st
expect "include" prototypes stock.c -o inc
expect "include stock.c store.txt version.c" prototypes stock.c --path ""
expect "include stock version" version bump ""
expect "" version set version ""
expect "--build" version set version 1.2.3.4 --b
expect "" comment module stock.c --name ""
expect "--jobs --json --jsonl" functions stock.c --j
expect "--add-in --address --append --exclude --ext --fields --format --help --jobs --kinds --output --pattern-length-limit --sort --tag-relative --update" tags --
expect "stock.c store.txt" tags -o st
expect "stock.c store.txt" tags -L st
expect "foldcase" tags --sort f
expect "line pattern" tags --address ""
expect "ctags etags" tags --format ""
expect "no yes" tags --tag-relative ""
expect "" tags --kinds ""
expect "--ext --help --jobs --jsonl --kinds" symbols --

# A repeated argument, as CLI11 shows one ("PATH TEXT ..."), takes every
# word from its place on; a stand-in program gives that help.
mkdir "$scratch/.stand-in"
cat >"$scratch/.stand-in/kelpin" <<'EOF'
#!/bin/sh
if [ "$1" = functions ]; then
    printf '%s\n' 'List' 'Usage: kelpin functions [OPTIONS] PATH...' '' 'Positionals:' \
        '  PATH TEXT ... REQUIRED      files or folders' '' 'Options:' \
        '  -h,--help                   Print this help message and exit' \
        '  -j INT                      jobs' '  --ext TEXT                  extension'
else
    printf '%s\n' 'Usage: kelpin [OPTIONS] SUBCOMMAND' '' 'Subcommands:' \
        '  functions                   List' ''
fi
EOF
chmod +x "$scratch/.stand-in/kelpin"
real=$kelpin
kelpin=$scratch/.stand-in/kelpin
expect "stock.c store.txt" functions st
expect "stock.c store.txt" functions version.c include st
expect "" functions stock.c -j ""
expect "--ext" functions stock.c --e
kelpin=$real

# Every command: "-" offers exactly its options, as its help lists them.
walk() {
    local kind name value
    if grep -q '^sub ' < <(_kelpin_words "$kelpin" "$@"); then
        while read -r kind name value; do
            [[ $kind == sub ]] && walk "$@" "$name"
        done < <(_kelpin_words "$kelpin" "$@")
    fi
    local want
    want=$(_kelpin_words "$kelpin" "$@" | awk '$1 == "opt" { print $2 }' | sort | tr '\n' ' ' | sed 's/ $//')
    [[ -n $want ]] || { echo "kelpin $* --help lists no options"; status=1; }
    expect "$want" "$@" -
    commands=$((commands + 1))
}
commands=0
walk
[[ $commands -ge 11 ]] || { echo "only $commands commands walked"; status=1; }
[[ $status -eq 0 ]] && echo "completion: $commands commands, every case as expected"
exit $status
