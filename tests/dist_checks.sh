#!/usr/bin/env bash
# The files installed for menus and manuals pass their own tools: the
# desktop entry, the AppStream metadata, and the manual page rendered with
# every groff warning on; the manual and the README name every option of
# --help.
#   dist_checks.sh DIST_BUILD_DIR QUILLFIRE
set -uo pipefail

dir="$1"
game="$2"
status=0
fail() {
  echo "dist_checks: $*" >&2
  status=1
}

for desktop in "$dir"/*.desktop; do
  out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] ||
    fail "desktop-file-validate $desktop: $out"
done
for metainfo in "$dir"/*.metainfo.xml; do
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli: $metainfo"
done
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$dir/quillfire.6" 2>&1 >"$dir/quillfire.6.txt") ||
  fail "man failed"
[ -z "$warnings" ] || fail "man --warnings: $warnings"
# The page lists every option the program's own help lists.
options=$("$game" --help | grep -o -- ' --[a-z-]*' | sort -u)
[ -n "$options" ] || fail "no options in --help"
readme="$(dirname "$0")/../README.md"
for option in $options; do
  grep -q -- "$option" "$dir/quillfire.6.txt" || fail "the manual lacks $option"
  grep -q -- "^| .*\`$option" "$readme" || fail "the README's options lack $option"
done
[ $status -eq 0 ] && echo "dist_checks: desktop entry, AppStream metadata and manual page: passed"
exit $status
