#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, after replaying
# every input that ever broke one. Prints one line per target: its runs and
# its coverage. An input that breaks a target is kept in
# fuzz/regressions/<target>/ (commit it) and the script fails.
#
#   tools/run_fuzz.sh SECONDS [FUZZ_BUILD_DIR]
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:?usage: run_fuzz.sh SECONDS [FUZZ_BUILD_DIR]}"
build="${2:-$root/build-fuzz}"
# A file's header must never buy more than its size: nothing the game reads
# is anywhere near this.
limits=(-rss_limit_mb=128 -malloc_limit_mb=128 -timeout=10)
# ASan holds freed memory back to catch late uses; its default 256 MB would
# count against the limit above, so it holds less.
export ASAN_OPTIONS="quarantine_size_mb=16:${ASAN_OPTIONS:-}"

status=0
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "run_fuzz: no fuzz targets in $build/fuzz" >&2
  exit 1
fi

for target in "${targets[@]}"; do
  [ -x "$target" ] && [ -f "$target" ] || continue
  name="$(basename "$target")"
  regressions="$root/fuzz/regressions/$name"
  corpus="$build/corpus/$name"
  log="$build/fuzz-$name.log"
  mkdir -p "$regressions" "$corpus"

  replayed=("$regressions"/*)
  if [ ${#replayed[@]} -gt 0 ]; then
    if ! "$target" "${limits[@]}" "${replayed[@]}" >"$log.replay" 2>&1; then
      echo "$name: a kept regression input fails again (see $log.replay)"
      tail -n 30 "$log.replay"
      status=1
      continue
    fi
  fi

  seeds=()
  for dir in "$root/fuzz/seeds/$name" "$build/generated-seeds/$name"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  "$target" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$regressions/" "$corpus" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)"
  features="$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)"
  if [ $rc -eq 0 ]; then
    printf '%-16s %10s runs in %ss, coverage %s edges, %s features, %s replayed: clean\n' \
      "$name" "${runs:-?}" "$seconds" "${cov:-?}" "${features:-?}" "${#replayed[@]}"
  else
    echo "$name: FAILED after ${runs:-?} runs; input kept in $regressions/ (log: $log)"
    grep -m 1 -A 25 -E 'ERROR:|runtime error:|==ERROR' "$log"
    status=1
  fi
done
exit $status
