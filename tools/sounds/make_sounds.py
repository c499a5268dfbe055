#!/usr/bin/env python3
"""Synthesises the two sounds that come with Harkwell: a rising chime for a
join and a falling one for a leave, each two bell-like notes, under half a
second, 22,050 Hz, 16-bit mono PCM, the same bytes in every build.

Usage: make_sounds.py FOLDER   (writes FOLDER/join.wav and FOLDER/leave.wav)
"""
import math, struct, sys
from pathlib import Path

RATE, SECONDS = 22050, 0.45
E5, A5 = 659.26, 880.0
# A bell: the fundamental with two fainter partials, struck and dying away.
PARTIALS = ((1.0, 1.0), (2.0, 0.35), (3.0, 0.12))
ATTACK, DECAY = 0.004, 0.085
PEAK = 0.45  # of full scale, so the chime never startles


def note(frequency, start, t):
    if t < start:
        return 0.0
    age = t - start
    envelope = min(1.0, age / ATTACK) * math.exp(-age / DECAY)
    return envelope * sum(weight * math.sin(2 * math.pi * frequency * ratio * age) for ratio, weight in PARTIALS)


def wave(first, second):
    raw = [note(first, 0.0, n / RATE) + note(second, 0.13, n / RATE) for n in range(int(RATE * SECONDS))]
    fade = int(RATE * 0.02)  # the last few milliseconds fade, so the sound ends on silence
    for i in range(fade):
        raw[-1 - i] *= i / fade
    scale = PEAK * 32767 / max(abs(x) for x in raw)
    samples = b"".join(struct.pack("<h", round(x * scale)) for x in raw)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body


if __name__ == "__main__":
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "join.wav").write_bytes(wave(E5, A5))
    (folder / "leave.wav").write_bytes(wave(A5, E5))
