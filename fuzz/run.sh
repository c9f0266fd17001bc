#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while each, from its committed
# seed corpus (fuzz/corpus/<name>), and fails on the first sanitizer report,
# crash, leak or timeout. New inputs go to a temporary corpus, never into the
# committed one; a failing input is kept and its path printed.
#
#   bash fuzz/run.sh <build-dir> [seconds per target, default 30]
#
# The test command runs each target for 30 s; for a longer hunt give more,
# for example an hour each: bash fuzz/run.sh build-fuzz 3600
# The seed is fixed (1) so that a run repeats the one before it; give another
# through VORLY_FUZZ_SEED to explore elsewhere.
#
# A target that tests nothing must not pass unseen: the coverage libFuzzer
# reports once it has run the seed corpus ("INITED cov: N") must reach the
# floor kept beside the corpus in fuzz/corpus/<name>.floor (a little under the
# figure the target reached when the floor was set). Raise a floor when a
# target's reach grows; a target without one fails.
set -uo pipefail
build=${1:?usage: fuzz/run.sh <build-dir> [seconds]}
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/vorly-fuzz-run.XXXXXX)
status=0
shopt -s nullglob
targets=("$build"/fuzz/fuzz-*)
if [ ${#targets[@]} -eq 0 ]; then echo "fuzz: no targets in $build/fuzz"; exit 1; fi
for target in "${targets[@]}"; do
  name=${target##*/fuzz-}
  mkdir -p "$work/$name"
  seeds="$here/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  # Inputs up to 64 KiB, or the largest seed (full-size record files).
  max_len=65536
  for seed in ${seeds:+"$seeds"/*}; do
    size=$(stat -c %s "$seed")
    [ "$size" -gt "$max_len" ] && max_len=$size
  done
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -seed="${VORLY_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=3072 -max_len="$max_len" \
        -artifact_prefix="$work/$name-" -print_final_stats=1 "$work/$name" $seeds \
        > "$work/$name.log" 2>&1; then
    echo "fuzz: $name FAILED; its output:"
    tail -n 60 "$work/$name.log"
    ls "$work/$name"-* 2>/dev/null | sed 's/^/fuzz: failing input /'
    status=1
  else
    grep -E '^stat::number_of_executed_units' "$work/$name.log" | sed "s/^/fuzz: $name /"
  fi
  covered=$(grep -m 1 -oE 'INITED cov: [0-9]+' "$work/$name.log" | grep -oE '[0-9]+$')
  floor=$(cat "$here/corpus/$name.floor" 2>/dev/null)
  if [ -z "$floor" ]; then
    echo "fuzz: $name has no coverage floor (fuzz/corpus/$name.floor)"
    status=1
  elif [ -z "$covered" ] || [ "$covered" -lt "$floor" ]; then
    echo "fuzz: $name FAILED: its seed corpus reaches coverage ${covered:-none}, under its floor $floor"
    status=1
  else
    echo "fuzz: $name seed coverage $covered (floor $floor)"
  fi
done
# Keep the work folder (and the failing inputs in it) only after a failure.
[ $status -eq 0 ] && rm -rf "$work" || echo "fuzz: inputs and logs kept in $work"
exit $status
