#!/usr/bin/env bash
# A backend's files never call one another's plat_* functions: the recording
# layer wraps every plat_* call made from outside the file that defines it,
# so such a call would be recorded as if the game had asked, and a replay
# would go out of step. nm shows each object's undefined plat_* symbols.
#   backend_calls.sh LIBRARY...
set -uo pipefail
status=0
for library in "$@"; do
  calls=$(nm -A "$library" 2>/dev/null | grep -E ' U plat_' || true)
  if [ -n "$calls" ]; then
    echo "backend_calls: $library calls its own platform interface:" >&2
    echo "$calls" >&2
    status=1
  fi
done
exit $status
