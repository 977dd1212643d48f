#!/usr/bin/env python3
"""Writes chimes.wav, the sound Kelvaro plays when a run ends.

Two soft bell strikes a fourth apart (G5, then C6 a tenth of a second later), each of
three partials that die away exponentially, the higher ones faster, the first strike a
little to the left and the second a little to the right. 16-bit stereo PCM at 22,050 Hz,
13,921 frames (about 0.63 s), with a LIST/INFO chunk naming the sound.

Standard library only, and deterministic: running it again gives the same bytes.

    python3 resources/make_chimes.py [output]   (default: chimes.wav beside this script)
"""

import math
import os
import struct
import sys

RATE = 22050
CHANNELS = 2
BITS = 16
FRAMES = 13921
PEAK = 0.45  # of full scale: a soft sound, well clear of clipping
ATTACK = 0.005  # seconds; a raised-cosine onset avoids a click
FADE = 0.040  # seconds of raised-cosine fade at the end, so the file ends in silence
TITLE = b"Kelvaro: run complete chime"  # 27 bytes, 28 with its NUL

# (ratio to the note's pitch, amplitude, decay time constant in seconds)
PARTIALS = [(1.0, 1.0, 0.25), (2.0, 0.35, 0.12), (2.76, 0.12, 0.06)]
# (start in seconds, pitch in Hz, left gain, right gain)
STRIKES = [(0.0, 783.99, 1.0, 0.75), (0.10, 1046.50, 0.75, 1.0)]


def raised_cosine(x):
    """0 at x <= 0, 1 at x >= 1, a smooth half cosine between."""
    if x <= 0.0:
        return 0.0
    if x >= 1.0:
        return 1.0
    return 0.5 - 0.5 * math.cos(math.pi * x)


def samples():
    left = [0.0] * FRAMES
    right = [0.0] * FRAMES
    for start, pitch, gain_l, gain_r in STRIKES:
        first = int(round(start * RATE))
        for n in range(first, FRAMES):
            t = (n - first) / RATE
            v = 0.0
            for ratio, amplitude, tau in PARTIALS:
                v += amplitude * math.exp(-t / tau) * math.sin(2.0 * math.pi * pitch * ratio * t)
            v *= raised_cosine(t / ATTACK)
            left[n] += gain_l * v
            right[n] += gain_r * v
    fade_frames = int(FADE * RATE)
    for n in range(FRAMES - fade_frames, FRAMES):
        g = raised_cosine((FRAMES - 1 - n) / fade_frames)
        left[n] *= g
        right[n] *= g
    scale = PEAK / max(max(abs(x) for x in left), max(abs(x) for x in right))
    data = bytearray()
    for l, r in zip(left, right):
        for x in (l, r):
            q = max(-32768, min(32767, int(round(x * scale * 32767))))
            data += struct.pack("<h", q)
    return bytes(data)


def chunk(tag, payload):
    pad = b"\0" if len(payload) % 2 else b""
    return tag + struct.pack("<I", len(payload)) + payload + pad


def wave_file():
    block_align = CHANNELS * BITS // 8
    fmt = struct.pack("<HHIIHH", 1, CHANNELS, RATE, RATE * block_align, block_align, BITS)
    info = b"INFO" + chunk(b"INAM", TITLE + b"\0")
    body = b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"data", samples()) + chunk(b"LIST", info)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "chimes.wav")
    with open(out, "wb") as f:
        f.write(wave_file())


if __name__ == "__main__":
    main()
