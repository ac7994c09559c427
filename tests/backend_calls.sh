#!/usr/bin/env bash
# A backend's files never call the platform interface (plat_*): those calls
# go to the table in use, which may be a layer over this very backend (the
# recording layer), so such a call would be taken for the game's and a
# replay would go out of step. Picking the backend (plat_use) is no call of
# the interface. nm shows each object's undefined plat_* symbols.
#   backend_calls.sh LIBRARY...
set -uo pipefail
status=0
for library in "$@"; do
  calls=$(nm -A "$library" 2>/dev/null | grep -E ' U plat_' |
    grep -vE ' U plat_(use|in_use)$' || true)
  if [ -n "$calls" ]; then
    echo "backend_calls: $library calls its own platform interface:" >&2
    echo "$calls" >&2
    status=1
  fi
done
exit $status
