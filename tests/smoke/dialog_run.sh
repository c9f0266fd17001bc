#!/usr/bin/env bash
# The start-up configuration dialog on a copy of the bundled game with
# <dialog>on</dialog>, headless: SIGTERM while the dialog waits is Cancel, so
# the program ends at once with status 0 and writes neither "nodialog.txt",
# nor the settings file, nor the release block, and shows no game window
# (no device is made). With "nodialog.txt" present the dialog is skipped
# and the game starts.
# Usage: dialog_run.sh PROGRAM GAME PACKER
source "$(dirname "$0")/common.sh"
packer=$3
sed -i 's:<dialog>off</dialog>:<dialog>on</dialog>:' "$work/game/script/init.xml"
grep -q '<dialog>on</dialog>' "$work/game/script/init.xml" || { echo "no dialog switch in init.xml"; exit 1; }
"$packer" build "$work/game/script" >/dev/null || { echo "packing the script folder failed"; exit 1; }
rm -rf "$work/game/debug.txt" "$work/game/data" "$work/game/nodialog.txt"
mkdir -p "$work/game/data"
log="$work/game/debug.txt"
run_for() {
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM "$1" "$program" "$work/game"
}

# The dialog waits for the player; SIGTERM cancels it (or, when it comes
# earlier, waits in the queue until the dialog takes it).
run_for 3
status=$?
if [ "$status" -ne 0 ]; then echo "cancelled run: exit status $status, expected 0"; fail=1; fi
[ -e "$work/game/nodialog.txt" ] && { echo "cancelled run wrote nodialog.txt"; fail=1; }
[ -e "$work/game/data/gameconfig.dat" ] && { echo "cancelled run wrote data/gameconfig.dat"; fail=1; }
grep -q "開放処理が終了しました" "$log" && { echo "cancelled run wrote the release block"; fail=1; }
grep -q "Direct3D デバイス作成成功" "$log" && { echo "cancelled run made the game's device"; fail=1; }
grep -q "設定ダイアログを表示できませんでした" "$log" && { echo "the dialog could not be shown"; fail=1; }

# "nodialog.txt" present: no dialog, the game runs until SIGTERM.
: > "$work/game/nodialog.txt"
run_for 5
status=$?
if [ "$status" -ne 0 ]; then echo "run without the dialog: exit status $status"; fail=1; fi
grep -q "Direct3D デバイス作成成功" "$log" || { echo "run without the dialog made no device"; fail=1; }
[ "$(tail -n 1 "$log")" = "開放処理が終了しました" ] || { echo "run without the dialog: no release block"; fail=1; }
finish
