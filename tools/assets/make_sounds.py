#!/usr/bin/env python3
"""Synthesises Sorvanthe's sound effects into game/raw/ as ".wav.raw" tracks.

A ".wav.raw" track is the 18-byte PCM wave format record (format tag 1,
channels, rate, bytes per second, block align, bits, extra size 0) followed by
the samples, here 16-bit mono at 22050 Hz. Each effect is a short tone or
noise burst shaped by an envelope, made here so a maintainer can change it.

    python3 tools/assets/make_sounds.py [output folder]

Standard library only; the same output on every run (the noise is seeded).
"""
import math
import os
import random
import struct
import sys

RATE = 22050


def render(seconds, sample):
    count = int(seconds * RATE)
    return [sample(i / RATE, i / count) for i in range(count)]


def tone(start_hz, end_hz, seconds, volume=0.5, square=False):
    phase = [0.0]

    def sample(t, progress):
        hz = start_hz + (end_hz - start_hz) * progress
        phase[0] += 2 * math.pi * hz / RATE
        wave = math.sin(phase[0])
        if square:
            wave = 1.0 if wave >= 0 else -1.0
        return wave * volume * (1 - progress) ** 1.5
    return render(seconds, sample)


def noise(seconds, volume=0.6, seed=7):
    rng = random.Random(seed)
    return render(seconds, lambda t, progress: rng.uniform(-1, 1) * volume * (1 - progress) ** 2)


def rumble(seconds, volume=0.7, seed=11):
    """Low noise: random steps held for a while, so the energy sits low."""
    rng = random.Random(seed)
    level = [0.0]

    def sample(t, progress):
        if int(t * RATE) % 40 == 0:
            level[0] = rng.uniform(-1, 1)
        return level[0] * volume * (1 - progress) ** 1.2
    return render(seconds, sample)


def mix(*parts):
    length = max(len(part) for part in parts)
    return [sum(part[i] for part in parts if i < len(part)) for i in range(length)]


def join(*parts):
    return [s for part in parts for s in part]


def raw_track(samples):
    header = struct.pack("<HHIIHHH", 1, 1, RATE, RATE * 2, 2, 16, 0)
    pcm = b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples)
    return header + pcm


SOUNDS = {
    "se_shot": lambda: tone(1800, 900, 0.05, 0.25, square=True),
    "se_hit": lambda: noise(0.12, 0.5),
    "se_graze": lambda: tone(3200, 2600, 0.03, 0.2),
    "se_miss": lambda: mix(tone(620, 70, 0.5, 0.45, square=True), noise(0.35, 0.3, seed=5)),
    "se_bomb": lambda: mix(rumble(0.9, 0.6), tone(220, 40, 0.9, 0.4)),
    "se_item": lambda: join(tone(900, 900, 0.05, 0.4), tone(1350, 1350, 0.08, 0.4)),
    "se_cursor": lambda: tone(1200, 1200, 0.04, 0.35, square=True),
    "se_decide": lambda: join(tone(800, 800, 0.05, 0.4, square=True), tone(1600, 1600, 0.1, 0.4, square=True)),
    "se_cancel": lambda: tone(700, 300, 0.12, 0.4, square=True),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "game", "raw")
    os.makedirs(out, exist_ok=True)
    for name, make in SOUNDS.items():
        with open(os.path.join(out, name + ".wav.raw"), "wb") as f:
            f.write(raw_track(make()))


if __name__ == "__main__":
    main()
