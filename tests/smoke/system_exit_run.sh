#!/usr/bin/env bash
# Runs the program headless on a copy of the bundled game whose "top" script
# sets the three volumes with "sysvar", dumps the repeat counters inside and
# after a two-pass "repeat", tries "Exit" (not a sub-command: nothing
# happens), waits 10 frames and ends the program with "exit". The program must
# end by itself with status 0, log three "repeatcount :" lines and the whole
# release block, and keep the volumes in data/gameconfig.dat.
source "$(dirname "$0")/common.sh"
pack=$3
python3 - "$work/game/script/title.xml" <<'PY'
import sys
path = sys.argv[1]
text = open(path, encoding="cp932").read()
start = text.index('<action label="top">')
end = text.index('<action label="player_top">')
top = '''<action label="top">
    <sysvar name="volbgm">7.9</sysvar>
    <sysvar name="volse">7.9</sysvar>
    <sysvar name="volvoice">2</sysvar>
    <repeat>
      <times>2</times>
      <action><system><command>dumprepeatcount</command></system></action>
    </repeat>
    <system><command>Exit</command></system>
    <system><command>dumprepeatcount</command></system>
    <wait>10</wait>
    <system><command>exit</command></system>
  </action>
  '''
open(path, "w", encoding="cp932").write(text[:start] + top + text[end:])
PY
"$pack" build "$work/game/script" >/dev/null || { echo "packing the script folder failed"; fail=1; }
mkdir -p "$work/game/data"
rm -f "$work/game/data/gameconfig.dat"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout -s KILL 60 "$program" "$work/game"
status=$?
[ "$status" -eq 0 ] || { echo "exit status $status"; fail=1; }
log="$work/game/debug.txt"
lines=$(grep -c '^repeatcount :' "$log")
[ "$lines" = 3 ] || { echo "$lines repeatcount lines"; fail=1; }
[ "$(grep '^repeatcount :' "$log" | tail -n 1)" = 'repeatcount :  0 / 0 0 / 1 ' ] ||
  { echo "the third repeat dump does not read 0 for the empty counter stack"; fail=1; }
grep -q '全てのマネージャー及びオブジェクトの開放を行います' "$log" || { echo "no release opening"; fail=1; }
grep -q 'Archive Manager を開放しました' "$log" || { echo "no archive release line"; fail=1; }
grep -q '開放処理が終了しました' "$log" || { echo "no release closing line"; fail=1; }
words=$(od -An -tu4 -N12 "$work/game/data/gameconfig.dat" 2>/dev/null | tr -s ' ' | sed 's/^ //')
[ "$words" = "5 7 2" ] || { echo "gameconfig.dat starts with: $words"; fail=1; }
finish
