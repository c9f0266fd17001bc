#!/usr/bin/env bash
# Runs the program headless twice on a copy of the bundled game: the first run
# writes the three record files at release, the second reads them back
# without a checksum complaint and writes them again unchanged in size.
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
finish
