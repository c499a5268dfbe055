#!/usr/bin/env python3
"""Synthesises the two sounds that come with Harkwell: a rising chime for a
join and a falling one for a leave, each two bell-like notes, under half a
second, 22,050 Hz, 16-bit mono PCM. The samples depend on nothing but this
script, so every build writes the same bytes.

Usage: make_sounds.py FOLDER   (writes FOLDER/join.wav and FOLDER/leave.wav)
"""

import math
import struct
import sys
from pathlib import Path

RATE = 22050
SECONDS = 0.45
E5, A5 = 659.26, 880.0
# A bell: the fundamental with two fainter partials, struck and dying away.
PARTIALS = ((1.0, 1.0), (2.0, 0.35), (3.0, 0.12))
ATTACK = 0.004
DECAY = 0.085
PEAK = 0.45  # of full scale, so the chime never startles


def note(frequency, start, t):
    if t < start:
        return 0.0
    age = t - start
    envelope = min(1.0, age / ATTACK) * math.exp(-age / DECAY)
    return envelope * sum(weight * math.sin(2 * math.pi * frequency * ratio * age)
                          for ratio, weight in PARTIALS)


def chime(first, second):
    raw = [note(first, 0.0, n / RATE) + note(second, 0.13, n / RATE) for n in range(int(RATE * SECONDS))]
    # A last few milliseconds of fade, so the sound ends on silence.
    fade = int(RATE * 0.02)
    for i in range(fade):
        raw[-1 - i] *= i / fade
    scale = PEAK * 32767 / max(abs(x) for x in raw)
    return b"".join(struct.pack("<h", round(x * scale)) for x in raw)


def wave(samples):
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main(argv):
    folder = Path(argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "join.wav").write_bytes(wave(chime(E5, A5)))
    (folder / "leave.wav").write_bytes(wave(chime(A5, E5)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
