#!/usr/bin/env bash
# Tags files as real editors read them: Vim's :tag and :tselect on the file
# kelpin tags writes, Emacs' visit-tags-table and xref-find-definitions on
# the file kelpin tags -e writes.
#
#   tests/editors/tags-in-editors-test.sh KELPIN vim|emacs
#
# Exit status 77 (skipped) when the editor is not installed.
set -euo pipefail
kelpin=$1
editor=$2
command -v "$editor" >/dev/null || { echo "skipped: no $editor" >&2; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p src build .git
cat >src/a.c <<'C'
#define LIMIT 10
struct point {
	int x;
};
static int helper(void)
{
	return 1;
}
int twice(void) { return 2; }
C
cat >src/b.c <<'C'
/* path/with \ slashes */
int twice(void)
{
	return 3;
}
C
printf 'int ignored(void) { return 0; }\n' >.git/hidden.c

failures=0
expect() { # WHAT GOT WANTED
    if [[ $2 != "$3" ]]; then
        echo "FAIL: $1: got '$2', wanted '$3'" >&2
        failures=$((failures + 1))
    fi
}

# Where NAME leads, as FILE:LINE, from the tags file TAGS (Vim, run from
# the folder "$3"). Extra Ex commands come before the jump.
vim_jump() {
    local name=$1 tags=$2 dir=${3:-.}
    (cd "$dir" && rm -f "$work/out" &&
        vim -es -N -u NONE -i NONE -c "set tags=$tags" -c "silent! tag $name" \
            -c "call writefile([fnamemodify(expand('%'), ':.') . ':' . line('.')], '$work/out')" \
            -c 'qa!' </dev/null >/dev/null 2>&1 || true
        cat "$work/out" 2>/dev/null || echo "none")
}

case $editor in
vim)
    "$kelpin" tags src
    expect "function" "$(vim_jump twice tags)" "src/a.c:9"
    expect "struct" "$(vim_jump point tags)" "src/a.c:2"
    expect "macro" "$(vim_jump LIMIT tags)" "src/a.c:1"
    expect "static function" "$(vim_jump helper tags)" "src/a.c:5"
    expect "member" "$(vim_jump x tags)" "src/a.c:3"

    # :tselect lists both definitions of twice; the second is b.c's.
    rm -f out
    printf '2\n' | vim -es -N -u NONE -i NONE -c 'set tags=tags' -c 'tselect twice' \
        -c "call writefile([expand('%') . ':' . line('.')], 'out')" -c 'qa!' >/dev/null 2>&1 || true
    expect ":tselect, the second match" "$(cat out 2>/dev/null || echo none)" "src/b.c:2"

    # Lines added above a definition after the tags were written: the
    # search pattern still finds it.
    { printf '/* one */\n/* two */\n/* three */\n'; cat src/a.c; } >src/a.new && mv src/a.new src/a.c
    expect "after lines were added above" "$(vim_jump helper tags)" "src/a.c:8"

    # A tags file in another folder names the files from there.
    "$kelpin" tags -o build/tags src
    expect "tags in another folder" "$(vim_jump twice tags build)" "../src/a.c:12"

    # Excluded files and version-control folders give no tags.
    "$kelpin" tags --exclude 'b.c' .
    expect "excluded" "$(vim_jump x tags)" "src/a.c:6"
    grep -q "^twice.*b\.c" tags && { echo "FAIL: b.c excluded yet tagged" >&2; failures=$((failures + 1)); }
    grep -q "^ignored" tags && { echo "FAIL: .git walked" >&2; failures=$((failures + 1)); }
    ;;
emacs)
    "$kelpin" tags -e src
    emacs_jump() {
        timeout 120 emacs --batch -Q --eval "(progn
          (require 'etags) (require 'xref)
          (visit-tags-table \"$work/TAGS\")
          (find-file \"$work/src/b.c\")
          (xref-find-definitions \"$1\")
          (princ (format \"%s:%d\n\" (file-relative-name (buffer-file-name) \"$work\")
                         (line-number-at-pos))))" 2>/dev/null | tail -n 1
    }
    expect "function" "$(emacs_jump helper)" "src/a.c:5"
    expect "struct" "$(emacs_jump point)" "src/a.c:2"
    expect "macro" "$(emacs_jump LIMIT)" "src/a.c:1"
    expect "member" "$(emacs_jump x)" "src/a.c:3"
    { printf '/* one */\n/* two */\n'; cat src/a.c; } >src/a.new && mv src/a.new src/a.c
    expect "after lines were added above" "$(emacs_jump helper)" "src/a.c:7"
    ;;
*)
    echo "tags-in-editors-test.sh: vim or emacs" >&2
    exit 2
    ;;
esac

if ((failures > 0)); then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "ok: $editor"
