#!/usr/bin/env python3
"""Composes Sorvanthe's two music loops and writes each in two forms.

- game/raw/NAME.wav.raw: the form the scripts' "track" command plays (raw PCM
  entry of the "raw" archive, 16-bit mono at 22050 Hz, as make_sounds.py
  writes the effects);
- game/sound/NAME.ogg: the same music encoded to Ogg Vorbis, the form
  "preloadtrack" reads (the loose "sound" folder).

Each loop is a whole number of bars and longer than five seconds: a track
shorter than its five-second buffer plays once even when asked to loop.

    python3 tools/assets/make_music.py

Needs sox (with its Ogg Vorbis format, Debian's sox and libsox-fmt-base) for
the Ogg files; the raw files need only the standard library. The raw files
are the same on every run; Ogg Vorbis streams carry a random serial number.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_sounds import RATE, raw_track  # noqa: E402

NOTE_NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def hz(note):
    """'A4', 'C#5', 'Bb3' -> frequency; '-' is a rest (None)."""
    if note == "-":
        return None
    semitone = NOTE_NAMES[note[0]]
    rest = note[1:]
    if rest[0] == "#":
        semitone, rest = semitone + 1, rest[1:]
    elif rest[0] == "b":
        semitone, rest = semitone - 1, rest[1:]
    midi = 12 * (int(rest) + 1) + semitone
    return 440.0 * 2 ** ((midi - 69) / 12)


def voice(out, notes, step, wave_of, volume, decay):
    """Adds one voice: `notes` one per step (a string of names and rests); a
    note sounds on through the rests after it, up to the next note."""
    tokens = notes.split()
    for index, note in enumerate(tokens):
        freq = hz(note)
        if freq is None:
            continue
        length = 1
        while index + length < len(tokens) and tokens[index + length] == "-":
            length += 1
        start = index * step
        for i in range(min(length * step, len(out) - start)):
            t = i / RATE
            phase = (freq * t) % 1.0
            envelope = math.exp(-decay * t) * min(1.0, i / 60)
            out[start + i] += wave_of(phase) * volume * envelope


def square(phase):
    return 1.0 if phase < 0.5 else -1.0


def triangle(phase):
    return 4 * abs(phase - 0.5) - 1


def hats(out, step, every, volume, seed=3):
    """A short noise tick on every `every`-th step (a linear generator, so
    the loop is the same on every run)."""
    state = seed
    for index in range(0, len(out) // step, every):
        start = index * step
        for i in range(min(step, 500)):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            out[start + i] += (state / 0x3FFFFFFF - 1.0) * volume * (1 - i / 500) ** 3


def compose(bpm, lead, bass, arp, hat_every):
    step = int(RATE * 60 / bpm / 4)  # sixteenth notes
    steps = len(lead.split())
    out = [0.0] * (steps * step)
    voice(out, lead, step, square, 0.16, 5.0)
    voice(out, bass, step, triangle, 0.32, 2.0)
    if arp:
        voice(out, arp, step, square, 0.06, 12.0)
    hats(out, step, hat_every, 0.08)
    peak = max(abs(s) for s in out)
    return [s * 0.8 / peak for s in out]


def bars(*patterns):
    return " ".join(patterns)


# The title: calm, 100 beats a minute, A minor, two bars repeated twice with
# a different ending (4 bars = 9.6 s).
TITLE = dict(
    bpm=100,
    lead=bars("A4 - - - C5 - E5 - D5 - - - C5 - B4 -", "A4 - - - E4 - - - G4 - A4 - B4 - - -",
              "A4 - - - C5 - E5 - G5 - - - F5 - E5 -", "D5 - - - C5 - B4 - A4 - - - - - - -"),
    bass=bars("A2 - - - - - - - F2 - - - - - - -", "C3 - - - - - - - G2 - - - - - - -",
              "A2 - - - - - - - F2 - - - - - - -", "D3 - - - - - - - E2 - - - - - - -"),
    arp=bars("A3 C4 E4 C4 " * 2 + "F3 A3 C4 A3 " * 2, "C4 E4 G4 E4 " * 2 + "G3 B3 D4 B3 " * 2,
             "A3 C4 E4 C4 " * 2 + "F3 A3 C4 A3 " * 2, "D4 F4 A4 F4 " * 2 + "E3 G#3 B3 G#3 " * 2),
    hat_every=4,
)

# Stage 1: driving, 150 beats a minute, E minor, 4 bars (6.4 s).
STAGE = dict(
    bpm=150,
    lead=bars("E5 - E5 - G5 - E5 - B5 - A5 - G5 - F#5 -", "E5 - - - D5 - E5 - G5 - - - F#5 - D5 -",
              "E5 - E5 - G5 - E5 - B5 - A5 - G5 - A5 -", "B5 - - - A5 - G5 - F#5 - D5 - E5 - - -"),
    bass=bars("E2 E3 E2 E3 " * 2 + "C2 C3 C2 C3 " * 2, "D2 D3 D2 D3 " * 2 + "B1 B2 B1 B2 " * 2,
              "E2 E3 E2 E3 " * 2 + "C2 C3 C2 C3 " * 2, "D2 D3 D2 D3 " * 2 + "B1 B2 E2 E3 " * 2),
    arp=None,
    hat_every=2,
)

LOOPS = {"title_bgm": TITLE, "stage_bgm": STAGE}


def write_ogg(samples, target):
    """Ogg Vorbis through sox from a temporary WAVE file."""
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "loop.wav")
        with wave.open(source, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(b"".join(struct.pack("<h", int(s * 32767)) for s in samples))
        subprocess.run(["sox", source, "-C", "2", target], check=True)


def main():
    game = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "game")
    os.makedirs(os.path.join(game, "raw"), exist_ok=True)
    os.makedirs(os.path.join(game, "sound"), exist_ok=True)
    for name, loop in LOOPS.items():
        samples = compose(**loop)
        with open(os.path.join(game, "raw", name + ".wav.raw"), "wb") as f:
            f.write(raw_track(samples))
        write_ogg(samples, os.path.join(game, "sound", name + ".ogg"))
        print(f"{name}: {len(samples) / RATE:.2f} s")


if __name__ == "__main__":
    main()
