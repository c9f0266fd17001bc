#!/usr/bin/env bash
# The layer check passes on the source tree and names every forbidden include
# of its fixture tree, and only those.
set -uo pipefail
tool=$1
source_root=$2
fixture_root=$3

if ! out=$("$tool" "$source_root"); then
    echo "check-layers fails on the source tree:"
    echo "$out"
    exit 1
fi

out=$("$tool" "$fixture_root")
rc=$?
expected='Src/graphics/Sprite.cpp:3: "shell/WinMain.h" is included outside shell/ and main.cpp
Src/platform/Widget.h:3: platform/ includes "services/DebugInfo.h" from outside platform/
Src/services/Log.cpp:4: services/ includes "records/GameInfo.h": only services/ and platform/ are below it'
if [[ $rc -eq 0 ]]; then
    echo "check-layers passes a tree with forbidden includes"
    exit 1
fi
if [[ $out != "$expected" ]]; then
    echo "check-layers reported:"
    echo "$out"
    echo "expected:"
    echo "$expected"
    exit 1
fi
echo "check-layers: tree clean, fixture refused"
