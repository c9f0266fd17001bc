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
expected=$(cat <<'EOF'
Src/gadgets/Thing.cpp:1: Src/gadgets/ is not in the layer order
Src/graphics/Effect.cpp:4: graphics/ includes "sound/Mixer.h": sound/ is of the same rank and the pair is not listed
Src/graphics/Effect.cpp:5: graphics/ includes "objects/Bullet.h": objects/ is a higher layer
Src/graphics/Sprite.cpp:3: "shell/WinMain.h" is included outside shell/ and main.cpp
Src/network/Client.cpp:2: network/ includes "input/Replay.h": input/ is of the same rank and the pair is not listed
Src/platform/Widget.h:3: platform/ includes "services/DebugInfo.h" from outside platform/
Src/script/Expr.cpp:4: script/ includes "graphics/Sprite.h": graphics/ is a higher layer
Src/services/Log.cpp:4: services/ includes "records/GameInfo.h": only services/ and platform/ are below it
EOF
)
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
