#!/usr/bin/env bash
# Runs the program headless on a copy of the bundled game whose "replay" folder
# holds one good replay file (slot 1) and broken ones (slots 2-5: truncated,
# huge id count, a block outside the file, runs that end early): it logs the
# broken-header line once for each broken file, none for the good one, and
# leaves every file byte for byte unchanged.
source "$(dirname "$0")/common.sh"
rm -f "$work/game/debug.txt"
mkdir -p "$work/game/replay"
python3 - "$work/game/replay" <<'PY'
import struct, sys
folder = sys.argv[1]
def be(v): return struct.pack('>I', v)
# Header (512 bytes), one record (stage 1, state 1) at 512, its block at 640:
# length 6, runs (1, 0x0001) (2, 0x0002).
head = bytearray(512)
head[0:3] = b'RPL'
head[4:8] = be(0x100); head[12:16] = be(42); head[16:20] = be(1)
head[20:28] = b'SMOKE   '
head[28:32] = be(561203); head[32:36] = be(905)
block = be(6) + bytes([1, 0, 1, 2, 0, 2])
rec = bytearray(128)
rec[0:4] = be(640); rec[4:8] = be(6); rec[8:12] = be(42); rec[12:16] = be(1); rec[56:60] = be(len(block))
good = bytes(head) + bytes(rec) + block
def patched(at, value):
    b = bytearray(good); b[at:at + 4] = be(value); return bytes(b)
files = {1: good, 2: good[:600], 3: patched(164, 0x7fffffff), 4: patched(512, 0x01000000),
         5: patched(516, 40)[:640] + be(40) + good[644:]}
for slot, data in files.items():
    open(f"{folder}/replay{slot}.rpy", 'wb').write(data)
PY
cp -r "$work/game/replay" "$work/replay.before"

run_program
status=$?
log="$work/game/debug.txt"
if [ "$status" -ne 0 ]; then echo "exit status $status, expected 0"; fail=1; fi
for slot in 2 3 4 5; do
  if [ "$(grep -c "^リプレイファイル replay\\\\replay$slot.rpy のヘッダが壊れています$" "$log")" != 1 ]; then
    echo "not one broken-header line for replay$slot.rpy"; fail=1
  fi
done
if grep -q "replay1.rpy" "$log"; then echo "the good file was logged"; fail=1; fi
if ! diff -r "$work/replay.before" "$work/game/replay" >/dev/null; then echo "a replay file changed"; fail=1; fi
finish
