#!/usr/bin/env bash
# Runs the program headless on a copy of the bundled game, stops it with
# SIGTERM as a user closing the window would, and checks its exit status and
# the debug log's first line, the title and script version read from the
# packed "init.xml", the machine survey and release block, and the settings
# file written at release.
source "$(dirname "$0")/common.sh"
rm -f "$work/game/debug.txt"

run_program
status=$?
log="$work/game/debug.txt"
if [ "$status" -ne 0 ]; then echo "exit status $status, expected 0"; fail=1; fi
if [ "$(head -n 1 "$log")" != "VorlyEngine   : Engine_20081003" ]; then echo "bad first line"; fail=1; fi
if [ "$(tail -n 1 "$log")" != "開放処理が終了しました" ]; then echo "bad last line"; fail=1; fi
if [ "$(tail -n 19 "$log" | head -n 1)" != "*****************************************************" ]; then
  echo "release block does not open with its row of asterisks"; fail=1
fi
if ! grep -qx "GameInstance  : Sorvanthe" "$log"; then echo "no game title in the log"; fail=1; fi
version=$(sed -n 's:.*<version>\(.*\)</version>.*:\1:p' "$game/script/init.xml" | head -n 1)
if [ -z "$version" ] || ! grep -qxF "ScriptVersion : $version" "$log"; then
  echo "no script version '$version' in the log"; fail=1
fi
if [ ! -f "$game/script/arc.dat" ]; then echo "game/script was not packed"; fail=1; fi
if ! grep -qx "コンピュータの能力を調査中" "$log"; then echo "no machine survey in the log"; fail=1; fi
if ! grep -qx "頂点バッファを使用します" "$log"; then echo "no sprite vertex buffer in the log"; fail=1; fi
if [ -d "$work/game/data" ] && [ "$(stat -c %s "$work/game/data/gameconfig.dat" 2>/dev/null)" != 44 ]; then
  echo "data/gameconfig.dat was not written with 44 bytes"; fail=1
fi
finish
