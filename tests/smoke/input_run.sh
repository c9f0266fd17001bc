#!/usr/bin/env bash
# Runs the program headless on a copy of the bundled game whose key files are
# short (a 100-byte "data/keyconfig.dat", a 3-byte "data/keyboardconfig.dat"):
# it exits 0, logs one line naming each file, leaves both files unchanged and
# ends with the full release block.
source "$(dirname "$0")/common.sh"
rm -f "$work/game/debug.txt"
mkdir -p "$work/game/data"
printf 'MyPad' > "$work/game/data/keyconfig.dat"
head -c 95 /dev/zero >> "$work/game/data/keyconfig.dat"
printf '\x39\x1c\x01' > "$work/game/data/keyboardconfig.dat"
cp "$work/game/data/keyconfig.dat" "$work/keyconfig.before"
cp "$work/game/data/keyboardconfig.dat" "$work/keyboardconfig.before"

run_program
status=$?
log="$work/game/debug.txt"
if [ "$status" -ne 0 ]; then echo "exit status $status, expected 0"; fail=1; fi
for file in keyconfig keyboardconfig; do
  if [ "$(grep -c "^data\\\\$file.dat " "$log")" != 1 ]; then echo "not one log line naming $file.dat"; fail=1; fi
  if ! cmp -s "$work/$file.before" "$work/game/data/$file.dat"; then echo "$file.dat changed"; fail=1; fi
done
if ! grep -qx "DirectInput Manager を開放しました" "$log"; then echo "no DirectInput release line"; fail=1; fi
if [ "$(tail -n 1 "$log")" != "開放処理が終了しました" ]; then echo "bad last line"; fail=1; fi
if [ "$(tail -n 19 "$log" | head -n 1)" != "*****************************************************" ]; then
  echo "release block does not open with its row of asterisks"; fail=1
fi
finish
