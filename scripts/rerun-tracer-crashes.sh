#!/usr/bin/env bash
# After a failed ctest run in a build folder: fails unless every failed test's
# output shows LeakSanitizer's tracer crash ("Tracer caught signal"); then
# runs those tests once more, names them, and fails when any fails again.
#
#   bash scripts/rerun-tracer-crashes.sh <build-dir>
set -uo pipefail
build=${1:?usage: scripts/rerun-tracer-crashes.sh <build-dir>}
failed_list="$build/Testing/Temporary/LastTestsFailed.log"
test_log="$build/Testing/Temporary/LastTest.log"
[ -s "$failed_list" ] && [ -f "$test_log" ] || { echo "test: no record of the failed tests"; exit 1; }

rerun=()
while IFS= read -r entry; do
  name=${entry#*:}
  # The test's output: from its "N/M Test: <name>" line to its end-time line.
  output=$(awk -v name="$name" '
    $0 ~ /^[0-9]+\/[0-9]+ Test: / { sub(/^[0-9]+\/[0-9]+ Test: /, ""); inside = ($0 == name); next }
    inside && index($0, "\"" name "\" end time:") == 1 { inside = 0 }
    inside { print }' "$test_log")
  if grep -q "Tracer caught signal" <<<"$output"; then
    rerun+=("$name")
  else
    echo "test: $name failed (not LeakSanitizer's tracer crash): no rerun"
    exit 1
  fi
done < "$failed_list"

pattern=$(printf '%s\n' "${rerun[@]}" | sed 's/[][\.*^$+?(){}|]/\\&/g' | paste -sd '|')
echo "test: LeakSanitizer's tracer crashed in ${rerun[*]}; running them once more"
(cd "$build" && ctest --output-on-failure -R "^($pattern)\$")
