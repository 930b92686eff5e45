#!/usr/bin/env bash
# cmake --install of a build into a scratch prefix: the CLI, its man page and
# its bash completion where they belong, each usable from there.
#   install-test.sh <build-dir>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
for file in bin/kelpin share/man/man1/kelpin.1 share/bash-completion/completions/kelpin; do
    [[ -f $prefix/$file ]] || { echo "not installed: $file"; status=1; }
done
installed=$(find "$prefix" -type f | sed "s|^$prefix/||" | sort | tr '\n' ' ')
[[ $installed == "bin/kelpin share/bash-completion/completions/kelpin share/man/man1/kelpin.1 " ]] ||
    { echo "installed: $installed"; status=1; }
[[ $status -eq 0 ]] || exit 1

[[ -x $prefix/bin/kelpin ]] || { echo "bin/kelpin is not executable"; exit 1; }
version=$("$prefix/bin/kelpin" --version)
[[ $version == "kelpin "* ]] || { echo "kelpin --version: $version"; exit 1; }
# man finds the page by its name in the prefix's man path.
page=$(MANPATH=$prefix/share/man MANWIDTH=80 man kelpin 2>&1 | head -n 5)
grep -q "^NAME" <<<"$page" || { echo "man kelpin in the prefix:"; echo "$page"; exit 1; }
complete=$(bash -c 'source "$1" && complete -p kelpin' _ "$prefix/share/bash-completion/completions/kelpin")
[[ $complete == "complete -F _kelpin kelpin" ]] || { echo "completion: $complete"; exit 1; }
echo "installed: $installed($version)" | tr '\n' ' '
echo
