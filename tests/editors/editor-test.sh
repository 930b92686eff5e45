#!/bin/sh
# kelpin lsp in a real editor: Neovim (headless, driven by neovim-lsp.lua) or
# Emacs with eglot (eglot-lsp.el), on a small workspace made here.
#   editor-test.sh neovim|eglot KELPIN
set -eu
editor=$1
kelpin=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kelpin-editor-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
cat >"$work/src/lib.c" <<'C'
#include "lib.h"

/*-@@+@@--------------------------------[Do not edit manually]------------
 Procedure: lib_add
 Created  : Wed Sep  7 16:54:26 2005
 Modified : Wed Sep  7 16:54:26 2005

 Synopsys : Adds two numbers.
 Input    : a, b
 Output   : their sum
 Errors   : none
 ------------------------------------------------------------------@@-@@-*/
int lib_add(int a, int b)
{
    return a + b;
}
C
cat >"$work/src/main.c" <<'C'
#include "lib.h"

/* ünïcode 😀 */ static int helper(int x)
{
    return lib_add(x, 1);
}

int main(void)
{
    return helper(2);
}
C
# The block the code action must write: the command's own, at the same date.
export SOURCE_DATE_EPOCH=1126112066 TZ=UTC
"$kelpin" comment function "$work/src/main.c" --line 4 --stdout >"$work/expected.c"
export KELPIN="$kelpin" WORK="$work"
case $editor in
    neovim)
        # Neither the user's configuration nor a swap file.
        HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state \
            timeout 120 nvim --headless -u NONE -n -c "luafile $here/neovim-lsp.lua" </dev/null
        ;;
    eglot)
        HOME=$work timeout 120 emacs --batch -Q -l "$here/eglot-lsp.el" </dev/null
        ;;
    *) echo "editor-test.sh: neovim or eglot" >&2; exit 2 ;;
esac
