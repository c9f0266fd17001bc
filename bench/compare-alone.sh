#!/usr/bin/env bash
# Runs the whole suite once, then each benchmark whose name matches the
# pattern alone, and compares every ratio counter (vs_...) of the two runs:
# prints one line per ratio and ends non-zero when one differs by more than
# the tolerance (10% unless given).
#   bash bench/compare-alone.sh build-bench/bench/vorly-bench [name pattern] [tolerance]
set -uo pipefail
bench=${1:-build-bench/bench/vorly-bench}
pattern=${2:-^(Sprite|RealFrames|Particle|Mesh|FramePass)}
tolerance=${3:-0.10}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "name counter value" for every ratio counter of a report.
ratios() { grep -oE '^[^ ]+|vs_[a-z_]+=[0-9.]+' | awk '/=/ { split($0, p, "="); print name, p[1], p[2]; next } { name = $0 }'; }

"$bench" --benchmark_color=false 2>/dev/null | ratios > "$work/suite" || exit 1
while read -r name; do
    [[ $name =~ $pattern ]] || continue
    filter="^$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$"
    "$bench" --benchmark_color=false --benchmark_filter="$filter" 2>/dev/null | ratios >> "$work/alone"
done < <("$bench" --benchmark_list_tests)

awk -v tolerance="$tolerance" '
    NR == FNR { suite[$1 " " $2] = $3; next }
    {
        key = $1 " " $2
        if (!(key in suite)) { printf "%-48s %-16s alone %.3f  not in the suite\n", $1, $2, $3; bad = 1; next }
        off = ($3 > 0) ? (suite[key] - $3) / $3 : 0
        flag = (off > tolerance || off < -tolerance) ? "  OFF" : ""
        if (flag != "") bad = 1
        printf "%-48s %-16s alone %.3f  suite %.3f  %+.1f%%%s\n", $1, $2, $3, suite[key], off * 100, flag
    }
    END { exit bad }' "$work/suite" "$work/alone"
