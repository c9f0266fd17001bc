#!/usr/bin/env bash
# Runs every tool line of README.md as written (the indented lines that start
# with "build/tools/vorly-", a trailing "# ..." comment left off), from a copy
# of the repository's README, game and test fixtures whose build/tools is the
# tools folder given, and checks each line's exit status and the first line it
# prints (standard output, or standard error when that is empty) against the
# table below. A README line without an entry in the table, or an entry no
# README line has, fails: the two cannot drift apart.
#   readme_tools_run.sh SOURCE_DIR TOOLS_DIR
set -u
source_dir=$1
tools_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build" "$work/tests"
cp "$source_dir/README.md" "$work/"
cp -r "$source_dir/game" "$work/game"
cp -r "$source_dir/tests/fixtures" "$work/tests/fixtures"
ln -s "$tools_dir" "$work/build/tools"
fail=0

# status, then a pattern (grep -E) for the first line, then the line itself.
expected=$(cat <<'TABLE'
0|^$|build/tools/vorly-pack build game/script
0|^background\.xml	0	|build/tools/vorly-pack list game/script
0|^<\?xml |build/tools/vorly-pack cat game/script init.xml
0|^0 none$|build/tools/vorly-scriptdump game/script/title.xml
0|^t 1 |build/tools/vorly-scriptrun tests/fixtures/runtime/repeat_wait.xml --frames 60 --trace
0|^b 1 1 |build/tools/vorly-scriptrun tests/fixtures/runtime/bullets_fire_mix.xml --frames 3
0|^b 3 1 .* 30 2$|build/tools/vorly-scriptrun tests/fixtures/runtime/bullets_quiet_sequence.xml --frames 5 --var deathnobulletframe=2 --since-miss 0
0|^bullet\.png 32 32 |build/tools/vorly-texture info game bullet.png
0|^$|build/tools/vorly-texture png game bullet.png out.png
1|^vorly-texture: failed|build/tools/vorly-texture info game nosuch.png
0|^$|build/tools/vorly-frame game tests/fixtures/frame/scene.txt out.png
0|^file game/mesh/board\.x$|build/tools/vorly-mesh info game/mesh/board.x
0|^file game/mesh/board\.x$|build/tools/vorly-mesh dump game/mesh/board.x
0|^4	30	A$|build/tools/vorly-input keys
1|cannot read game/data/keyconfig\.dat$|build/tools/vorly-input keyconfig game/data/keyconfig.dat
1|cannot read game/data/keyboardconfig\.dat$|build/tools/vorly-input keyboardconfig game/data/keyboardconfig.dat
0|^format 1 1 22050 16$|build/tools/vorly-sound info game/sound/title_bgm.ogg
0|^format 1 |build/tools/vorly-sound info game se_shot.wav.raw
0|^rms [0-9]+\.[0-9]{3}$|build/tools/vorly-sound render game/sound/stage_bgm.ogg --volume -600 --seconds 5
0|^version 0x200$|build/tools/vorly-replay dump tests/fixtures/playthrough/replay1.rpy
0|^[0-9a-f]{4}$|build/tools/vorly-replay words tests/fixtures/playthrough/replay1.rpy 1
0|^verify: frames [0-9]+ record ([0-9a-f]{16}) play1x \1 play8x \1$|build/tools/vorly-replay verify game tests/fixtures/playthrough/input.txt
1|slot 1 has no replay file|build/tools/vorly-replay play game 1
TABLE
)

commands=$(sed -n 's/^    \(build\/tools\/vorly-[^#]*[^# ]\).*$/\1/p' "$source_dir/README.md" | sed 's/ *$//')
if [ -z "$commands" ]; then echo "no tool line found in README.md"; exit 1; fi

while IFS= read -r entry; do
  line=${entry#*|*|}
  if ! grep -qxF -- "$line" <<<"$commands"; then echo "no README line for: $line"; fail=1; fi
done <<<"$expected"

while IFS= read -r command; do
  entry=$(grep -F -- "|$command" <<<"$expected" | while IFS= read -r e; do
            [ "${e#*|*|}" = "$command" ] && echo "$e"; done)
  if [ -z "$entry" ]; then echo "no expectation for: $command"; fail=1; continue; fi
  want_status=${entry%%|*}
  rest=${entry#*|}
  pattern=${rest%%|*}
  (cd "$work" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy bash -c "$command" >"$work/out.txt" 2>"$work/err.txt")
  status=$?
  first=$(head -n 1 "$work/out.txt")
  [ -s "$work/out.txt" ] || first=$(head -n 1 "$work/err.txt")
  if [ "$status" -ne "$want_status" ]; then
    echo "exit status $status, expected $want_status: $command"
    head -n 5 "$work/err.txt"
    fail=1
  elif ! grep -qE -- "$pattern" <<<"$first"; then
    echo "first line '$first' does not match '$pattern': $command"
    fail=1
  else
    echo "ok: $command"
  fi
done <<<"$commands"
exit $fail
