#!/usr/bin/env bash
# Runs the program headless on a copy of the bundled game twice. With SDL's
# disk audio driver the mix goes to a file: the title music must be in it
# (samples that are not zero), with the device report and no failure block in
# the log. With a driver that does not exist the device fails: the failure
# lines are logged and the program still runs, ends with status 0 and writes
# the whole release block.
source "$(dirname "$0")/common.sh"
log="$work/game/debug.txt"

SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/mix.raw" \
  timeout --preserve-status -s TERM 4 "$program" "$work/game" 2>/dev/null
status=$?
if [ "$status" -ne 0 ]; then echo "disk driver: exit status $status, expected 0"; fail=1; fi
for line in "サウンドボードの能力を調査中" "Primary Stereo supported" "Sound Memory : 0/0" \
            "DirectSound Manager を開放しました"; do
  if ! grep -qxF "$line" "$log"; then echo "disk driver: no line '$line'"; fail=1; fi
done
if grep -q "FAILED" "$log"; then echo "disk driver: a failure was logged"; fail=1; fi
sounding=$(python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
print(sum(1 for i in range(0, len(data) - 1, 2) if data[i] or data[i + 1]))' "$work/mix.raw" 2>/dev/null || echo 0)
if [ "$sounding" -lt 4410 ]; then echo "disk driver: $sounding sounding samples, the music is missing"; fail=1; fi

rm -f "$log"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=nosuchdriver timeout --preserve-status -s TERM 4 "$program" "$work/game"
status=$?
if [ "$status" -ne 0 ]; then echo "no driver: exit status $status, expected 0"; fail=1; fi
for line in "DirectSound の初期化に失敗しました。" '.\Src\DSoundManager:46  FAILED' \
            '.\Src\DSoundObjectManager:17  FAILED' "DirectSound Manager を開放しました" "開放処理が終了しました"; do
  if ! grep -qxF "$line" "$log"; then echo "no driver: no line '$line'"; fail=1; fi
done
finish
