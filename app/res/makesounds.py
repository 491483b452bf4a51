#!/usr/bin/env python3
"""Writes the about box's six wave sounds beside this script: 8 kHz, 8-bit mono, each a
fraction of a second. Run it again after changing a sound; the .wav files are kept in the
repository like the images."""
import math
import os
import random
import struct

RATE = 8000


def write(name, samples):
    data = bytes(max(0, min(255, int(128 + 120 * s))) for s in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    fmt = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE, 1, 8)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), name), "wb") as f:
        f.write(header + fmt + b"data" + struct.pack("<I", len(data)) + data)


def tone(seconds, freq, shape=lambda t: 1.0, wave=math.sin):
    n = int(RATE * seconds)
    return [shape(i / n) * wave(2 * math.pi * freq(i / RATE) * i / RATE) for i in range(n)]


def square(x):
    return 1.0 if math.sin(x) >= 0 else -1.0


random.seed(7)
fade = lambda t: min(1.0, 10 * t, 10 * (1 - t))
# A buzz that loops cleanly: whole periods of a 200 Hz square wave, softened.
write("bee.wav", [0.4 * square(2 * math.pi * 200 * i / RATE) for i in range(RATE // 5)])
write("pop.wav", tone(0.08, lambda t: 900 - 6000 * t, lambda t: (1 - t) ** 2))
write("gasp.wav", [fade(i / 2400) * random.uniform(-0.5, 0.5) * (i / 2400) for i in range(2400)])
write("laugh.wav", [fade((i % 1200) / 1200) * math.sin(2 * math.pi * 500 * i / RATE)
                    for i in range(3600)])
write("warning.wav", tone(0.3, lambda t: 700 if int(t * 10) % 2 else 520, fade, square))
write("yell.wav", tone(0.35, lambda t: 300 + 800 * t, fade))
