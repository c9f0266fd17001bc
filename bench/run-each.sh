#!/usr/bin/env bash
# Runs every benchmark of the program alone (a filter matching its whole
# name), each under a time limit, and prints its exit status, wall time and
# its report line; ends non-zero when any failed.
#   bash bench/run-each.sh build-bench/bench/vorly-bench [seconds per benchmark] [name pattern]
set -uo pipefail
bench=${1:-build-bench/bench/vorly-bench}
limit=${2:-600}
pattern=${3:-.}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
failed=0
while read -r name; do
    [[ $name =~ $pattern ]] || continue
    filter="^$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$"
    start=$(date +%s.%N)
    report=$(timeout "$limit" "$bench" --benchmark_filter="$filter" 2>&1)
    status=$?
    seconds=$(echo "$(date +%s.%N) - $start" | bc)
    line=$(printf '%s\n' "$report" | grep -E "^$filter" -m1 || printf '%s\n' "$report" | tail -1)
    [[ $status -eq 0 && -n $line ]] || failed=1
    printf 'exit %3d  %7.1f s  %s\n' "$status" "$seconds" "$line"
done < <("$bench" --benchmark_list_tests)
exit $failed
