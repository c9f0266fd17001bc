# Sourced by the smoke scripts: takes the program and the bundled game from
# the command line, copies the game into a temporary folder removed at exit,
# and gives the headless run and the verdict they share.
set -u
program=$1
game=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$game" "$work/game"
fail=0

# Runs the program headless on the copy and stops it with SIGTERM after 4
# seconds (or the seconds given), as a user closing the window would; answers
# the program's exit status.
run_program() {
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM "${1:-4}" "$program" "$work/game"
}

# Ends the script: fails with the debug log shown when any check failed.
finish() {
  if [ "$fail" -ne 0 ]; then echo "--- debug.txt"; cat "$work/game/debug.txt"; fi
  exit $fail
}
