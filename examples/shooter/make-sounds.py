#!/usr/bin/env python3
"""Writes the sound effects of the shooter example as small 16-bit mono WAV files, each made
from a formula: shot.wav (a falling zap), boom.wav (a noise burst through a closing low-pass
filter), hurt.wav (a harsh falling buzz) and start.wav (a rising three-note jingle).
Run it again after changing a number: python3 make-sounds.py
"""
import math
import random
import struct
import wave

RATE = 22050


def write(name, samples):
    with wave.open(name, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))


def zap(seconds, f0, f1, volume, square=False):
    out, phase = [], 0.0
    n = int(seconds * RATE)
    for i in range(n):
        t = i / n
        phase += 2 * math.pi * (f0 + (f1 - f0) * t) / RATE
        s = math.sin(phase)
        if square:
            s = 1.0 if s > 0 else -1.0
        out.append(volume * s * (1 - t) ** 2)
    return out


def boom(seconds, volume):
    rng = random.Random(7)
    out, low = [], 0.0
    n = int(seconds * RATE)
    for i in range(n):
        t = i / n
        cut = 0.5 * (1 - t) ** 2 + 0.02  # the filter closes as the blast dies away
        low += cut * (rng.uniform(-1, 1) - low)
        out.append(volume * low * 3 * (1 - t) ** 1.5)
    return out


def jingle(volume):
    out = []
    for f, seconds in ((523.3, 0.09), (659.3, 0.09), (784.0, 0.22)):
        n = int(seconds * RATE)
        for i in range(n):
            t = i / RATE
            s = math.sin(2 * math.pi * f * t) + 0.3 * math.sin(4 * math.pi * f * t)
            out.append(volume * s * math.exp(-t * 6) * min(1.0, i / 80))
    return out


write("shot.wav", zap(0.12, 1800, 500, 0.35))
write("boom.wav", boom(0.45, 0.9))
write("hurt.wav", zap(0.35, 400, 80, 0.4, square=True))
write("start.wav", jingle(0.5))
