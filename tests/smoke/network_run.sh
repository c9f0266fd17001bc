#!/usr/bin/env bash
# Runs the program headless against the test ranking server (vorly-rankpeer,
# on 127.0.0.1 only): with nothing listening, in normal mode (the opening's
# messages in order, the cache filled), and in hostile modes (each mode's log
# line; the game plays on, ends cleanly on SIGTERM and keeps its score file).
# Arguments: the program, the bundled game, the peer.
source "$(dirname "$0")/common.sh"
peer=$3
log="$work/game/debug.txt"
peer_out="$work/peer.txt"

# Starts the peer in a mode (further arguments go to the peer); sets peer_pid and port.
start_peer() {
  : > "$peer_out"
  "$peer" --port 0 --mode "$@" --timeout 60 > "$peer_out" &
  peer_pid=$!
  for _ in $(seq 50); do
    if grep -q '^listening' "$peer_out"; then break; fi
    sleep 0.1
  done
  port=$(head -n 1 "$peer_out" | sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p')
  if [ -z "$port" ]; then echo "the peer did not start"; fail=1; fi
}

stop_peer() { kill "$peer_pid" 2>/dev/null; wait "$peer_pid" 2>/dev/null; }

# Runs the program for $1 seconds, then SIGTERM; checks the exit status, the
# time it took to end and the release block. Arguments: seconds, case name.
run_for() {
  rm -f "$log"
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$program" "$work/game" &
  local pid=$!
  sleep "$1"
  local stopped=$(date +%s%N)
  kill -TERM "$pid"
  wait "$pid"
  local status=$?
  local took=$(( ($(date +%s%N) - stopped) / 1000000 ))
  if [ "$status" -ne 0 ]; then echo "$2: exit status $status, expected 0"; fail=1; fi
  # The program ends within 3 s when the machine is idle; the bound here
  # leaves room for a loaded machine running the suites in parallel.
  if [ "$took" -gt 10000 ]; then echo "$2: took ${took} ms to end after SIGTERM"; fail=1; fi
  if [ "$(tail -n 1 "$log")" != "開放処理が終了しました" ] || ! grep -qx "Network Manager を開放しました" "$log"; then
    echo "$2: no full release block"; fail=1
  fi
}

expect_line() {
  if ! grep -qF -- "$2" "$log"; then echo "$1: no line '$2' in debug.txt"; fail=1; fi
}

# Nothing listening: the default server, a connection failure, a clean end.
# (The variable names a port the peer held a moment ago and gave back.)
start_peer normal
stop_peer
export VORLY_RANKING_SERVER=127.0.0.1:$port
run_for 3 offline
expect_line offline "ランキングサーバ : 127.0.0.1:$port"
expect_line offline "サーバに接続できませんでした  Host:127.0.0.1 Port:$port  ECONNREFUSED"

# Normal: the opening, in order, then bye when the program ends.
start_peer normal
export VORLY_RANKING_SERVER=127.0.0.1:$port
run_for 4 normal
sleep 0.3
stop_peer
expect_line normal "サーバに接続しました"
expected="hello 512
hello 512
identity
name
$(for i in $(seq 12); do echo "score crc=ok"; done)
$(for a in 0 1 2 3; do for b in 0 1 2; do echo "ranking $a $b 0"; done; done)
commit 0
$(for a in 0 1 2 3; do for b in 0 1 2; do echo "replaylist $a $b 0 0"; done; done)
$(for s in 0 1 2; do for k in 10 20 21 30 31 40 41 42 50 51 52 60 61 62 70 71; do echo "replaylist 0 $s 1 $k"; done; done)
commit 1
rank
bye 512
closed"
got=$(tail -n +2 "$peer_out" | sed -e 's/^\(identity\|name\) .*/\1/' -e 's/^\(score crc=ok\) .*/\1/')
if [ "$got" != "$expected" ]; then
  echo "normal: the peer's transcript differs:"; diff <(echo "$expected") <(echo "$got") | head -20; fail=1
fi
# Rank 0's score (word 2, little-endian) of each of the twelve cached tables.
cache_scores=$(for i in $(seq 0 11); do
  od -An -tu4 --endian=little -j $((4 + i * 11200 + 8)) -N 4 "$work/game/data/cache.dat" | tr -d ' '
done | paste -sd ' ')
if [ "$cache_scores" != "1000000 2000000 3000000 4000000 5000000 6000000 7000000 8000000 9000000 10000000 11000000 12000000" ]; then
  echo "normal: cache.dat rank 0 scores are '$cache_scores'"; fail=1
fi

# Empty tables: every answer is empty, and the whole opening still goes through.
start_peer normal --records 0
export VORLY_RANKING_SERVER=127.0.0.1:$port
run_for 4 empty
sleep 0.3
stop_peer
if grep -q "Closed" "$log"; then echo "empty: an empty answer was taken for a closed connection"; fail=1; fi
if [ "$(tail -n 3 "$peer_out" | head -n 1)" != "rank" ]; then echo "empty: the opening did not reach the rank table"; fail=1; fi

# Hostile servers: the mode's line, and the score file untouched.
for case in "badcrc|サーバからのデータが壊れています  Subtype:1  Length:840" \
            "huge|サーバからのデータが大きすぎます  Subtype:1  Length:4294967280" \
            "close|サーバからの応答を受信できませんでした  Header  Closed" \
            "garbage|サーバから不明な応答を受け取りました" \
            "unsolicited|サーバから予期しない応答を受け取りました  Subtype:2  Length:67108864"; do
  mode=${case%%|*}
  line=${case#*|}
  cp "$work/game/data/score.dat" "$work/score.before"
  start_peer "$mode"
  export VORLY_RANKING_SERVER=127.0.0.1:$port
  # The unasked 64 MiB is read past before the opening goes on: more time.
  run_for "$([ "$mode" = unsolicited ] && echo 6 || echo 3)" "$mode"
  stop_peer
  expect_line "$mode" "$line"
  if ! cmp -s "$work/game/data/score.dat" "$work/score.before"; then echo "$mode: score.dat changed"; fail=1; fi
done
finish
