#!/usr/bin/env bash
# Runs the program headless twice on a copy of the bundled game: the first run
# writes the three record files at release, the second reads them back
# without a checksum complaint and writes them again unchanged in size; a
# third run on a score file with one body bit flipped logs the mismatch and
# keeps the damaged file as "data/score.dat.bad".
source "$(dirname "$0")/common.sh"
mkdir -p "$work/game/data"
rm -f "$work/game/data/score.dat" "$work/game/data/cache.dat" "$work/game/data/textread.dat"
size() { stat -c %s "$work/game/data/$1" 2>/dev/null || echo missing; }
for run in 1 2; do
  run_program
  status=$?
  if [ "$status" -ne 0 ]; then echo "run $run: exit status $status"; fail=1; fi
  [ "$(size score.dat)" = 139052 ] || { echo "run $run: score.dat is $(size score.dat) bytes"; fail=1; }
  [ "$(size cache.dat)" = 134404 ] || { echo "run $run: cache.dat is $(size cache.dat) bytes"; fail=1; }
  [ "$(size textread.dat)" = 8 ] || { echo "run $run: textread.dat is $(size textread.dat) bytes"; fail=1; }
  if grep -q 'チェックサムが一致しません\|保存に失敗しました' "$work/game/debug.txt"; then
    echo "run $run: the log reports a record file"; fail=1
  fi
done
# One bit of the body (a ranking entry) flipped.
score="$work/game/data/score.dat"
at=$((16 + 5000))
byte=$(od -An -tu1 -j "$at" -N1 "$score" | tr -d ' ')
printf "\\$(printf %o $((byte ^ 4)))" | dd of="$score" bs=1 seek="$at" conv=notrunc status=none
cp "$score" "$work/damaged.dat"
run_program
status=$?
if [ "$status" -ne 0 ]; then echo "run 3: exit status $status"; fail=1; fi
grep -q 'スコアデータのチェックサムが一致しません' "$work/game/debug.txt" || { echo "run 3: no mismatch line"; fail=1; }
cmp -s "$work/damaged.dat" "$score.bad" || { echo "run 3: data/score.dat.bad is not the damaged file"; fail=1; }
grep -qF 'data\score.dat.bad として残しました' "$work/game/debug.txt" || { echo "run 3: no line for the file set aside"; fail=1; }
[ "$(size score.dat)" = 139052 ] || { echo "run 3: score.dat is $(size score.dat) bytes"; fail=1; }
finish
