#!/usr/bin/env bash
# Runs a copy of the bundled game whose "top" fires a "bulletref" to a label
# no script defines: the program must end by itself with status 1 after
# naming the label in the debug log. Arguments: the program, the bundled game
# and the archive packer.
source "$(dirname "$0")/common.sh"
pack=$3
title="$work/game/script/title.xml"
sed -i 's|<action label="top">|<action label="top"><bulletref label="nosuch"/>|' "$title"
if ! grep -q 'label="nosuch"' "$title"; then echo "could not edit title.xml"; exit 1; fi
"$pack" build "$work/game/script" >/dev/null || { echo "packing failed"; exit 1; }
rm -f "$work/game/debug.txt"

# Ends by itself, well before a SIGTERM (which would give 143); the bound is
# wide, as a sanitizer build on a busy machine can take seconds to start.
run_program 30
status=$?
log="$work/game/debug.txt"
if [ "$status" -ne 1 ]; then echo "exit status $status, expected 1"; fail=1; fi
if ! grep -qx "ノード nosuch が見つかりません" "$log"; then echo "no line naming the missing label"; fail=1; fi
if [ "$(tail -n 1 "$log")" != "開放処理が終了しました" ]; then echo "the release path did not run to its end"; fail=1; fi
finish
