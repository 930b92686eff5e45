#!/usr/bin/env bash
# The man page against the program: every command and every option of
# `kelpin --help`, `kelpin CMD --help` and `kelpin CMD SUB --help` (walked
# recursively) is in the page's SYNOPSIS under that command, and the page
# has none that the program lacks; each command has its entry under
# COMMANDS and each option under OPTIONS; groff and mandoc render the page
# without a warning.
#   man-test.sh <kelpin> <kelpin.1> <completion>
# The help is read by the completion's own reader (_kelpin_words), so the
# words bash completes are the words checked here.
set -euo pipefail
kelpin=$1
page=$2
# shellcheck source=/dev/null
source "$3"

# "command PATH" and "option PATH NAME" lines, PATH as "kelpin a b".
# -h/--help is in every command; the page gives it once, under kelpin.
from_help() {
    local path=("$@") kind name value
    echo "command ${path[*]}"
    while read -r kind name value; do
        case $kind in
        sub) from_help "${path[@]}" "$name" ;;
        opt) [[ ${#path[@]} -gt 1 && ($name == -h || $name == --help) ]] ||
            echo "option ${path[*]} $name" ;;
        esac
    done < <(_kelpin_words "$kelpin" "${path[@]:1}")
}

# The same from the SYNOPSIS: each .SY entry is a command, its path the
# bold words after .SY, its options every -x and --name in the entry; the
# commands above a leaf (kelpin comment) are commands too.
from_page() {
    sed -n '/^\.SH SYNOPSIS/,/^\.SH /p' "$page" | sed 's/\\-/-/g' | awk '
        /^\.SY / { path = $2; words = 1; next }
        /^\.YS/ { path = ""; next }
        path == "" { next }
        words && /^\.B [a-z]+$/ { path = path " " $2; print "command " path; next }
        {
            words = 0
            line = $0
            while (match(line, /(^|[^-A-Za-z0-9])--?[A-Za-z0-9][a-z0-9-]*/)) {
                name = substr(line, RSTART, RLENGTH)
                sub(/^[^-]/, "", name)
                print "option " path " " name
                line = substr(line, RSTART + RLENGTH)
            }
        }
        END { }' | awk '
        # a leaf command implies the commands above it, and kelpin itself
        { print }
        $1 == "command" { for (i = 3; i < NF; i++) { p = $2; for (j = 3; j <= i; j++) p = p " " $j; print "command " p } }
        END { print "command kelpin" }'
}

help=$(from_help kelpin | sort -u)
man=$(from_page | sort -u)
[[ $(grep -c '^command ' <<<"$help") -ge 5 ]] || { echo "the help walk found too little:"; echo "$help"; exit 1; }

status=0
if [[ $help != "$man" ]]; then
    echo "the man page and --help differ:"
    diff <(echo "$help") <(echo "$man") | sed -n 's/^< /  only in --help:    /p; s/^> /  only in the page:  /p'
    status=1
fi

# Each command has its entry under COMMANDS and each option its tag under
# OPTIONS (a .TP item whose tag line names it).
section() { sed -n "/^\\.SH $1/,/^\\.SH /p" "$page" | sed 's/\\-/-/g'; }
tags() { section "$1" | awk 'previous == ".TP" { print } { previous = $0 }'; }
commands=$(tags COMMANDS)
options=$(tags OPTIONS)
while read -r _ path; do
    [[ $path == kelpin ]] && continue
    # a group (kelpin comment) needs no entry of its own when its leaves have one
    grep -q "^command $path " <<<"$help" && continue
    grep -qxF ".B $path" <<<"$commands" || { echo "COMMANDS has no entry for $path"; status=1; }
done < <(grep '^command ' <<<"$help")
for name in $(awk '$1 == "option" { print $NF }' <<<"$help" | sort -u) -h --help; do
    grep -qE -- "(^|[^-a-z])$name([^-a-z]|\$)" <<<"$options" || { echo "OPTIONS has no entry for $name"; status=1; }
done

for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
    grep -qx "\\.SH \"\\?$section\"\\?" "$page" || { echo "no section $section"; status=1; }
done
for variable in SOURCE_DATE_EPOCH VISUAL EDITOR XDG_CONFIG_HOME; do
    section ENVIRONMENT | grep -q "$variable" || { echo "ENVIRONMENT does not name $variable"; status=1; }
done

# What man -l renders with: no warning from groff, none from mandoc's lint.
warnings=$(groff -man -ww -z "$page" 2>&1) || true
[[ -z $warnings ]] || { echo "groff -ww:"; echo "$warnings"; status=1; }
warnings=$(mandoc -T lint -W warning "$page" 2>&1) || true
[[ -z $warnings ]] || { echo "mandoc -T lint:"; echo "$warnings"; status=1; }

[[ $status -eq 0 ]] && echo "$(grep -c '^command ' <<<"$help") commands, $(grep -c '^option ' <<<"$help") options: the page and --help agree"
exit $status
