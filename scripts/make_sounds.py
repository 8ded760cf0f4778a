#!/usr/bin/env python3
"""Writes the station's three sounds as small WAV files (16-bit mono, 22050 Hz):

  pass.wav      a rising two-tone chime, 784 Hz then 1047 Hz (G5, C6): bright
                and short, "done, take it"
  fail.wav      a low buzz at 196 Hz with its odd harmonics, long enough to
                notice: "look at the screen"
  question.wav  two short pips at 1568 Hz (G6): a question waits

They differ in pitch by more than an octave each, so that they are told apart
by ear on a noisy line and by their strongest frequency in the tests. Run it
again after changing a sound:  python3 scripts/make_sounds.py data/sounds
Made here, for this program: they carry its licence.
"""
import math
import struct
import sys
import wave

RATE = 22050
PEAK = 0.5  # of full scale: the operator's system sets the volume


def tone(freq, seconds, harmonics=((1, 1.0),)):
    n = int(RATE * seconds)
    fade = int(RATE * 0.01)  # 10 ms in and out, so that no edge clicks
    out = []
    for i in range(n):
        t = i / RATE
        v = sum(a * math.sin(2 * math.pi * freq * k * t) for k, a in harmonics)
        v /= sum(a for _, a in harmonics)
        edge = min(1.0, i / fade, (n - 1 - i) / fade)
        out.append(v * edge)
    return out


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", round(s * PEAK * 32767)) for s in samples))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "data/sounds"
    write(f"{folder}/pass.wav", tone(784, 0.15) + tone(1047, 0.35))
    # A square-ish wave: the fundamental strongest, then 3rd and 5th harmonics.
    buzz = ((1, 1.0), (3, 0.45), (5, 0.25))
    write(f"{folder}/fail.wav", tone(196, 0.3, buzz) + silence(0.08) + tone(196, 0.45, buzz))
    write(f"{folder}/question.wav", tone(1568, 0.1) + silence(0.1) + tone(1568, 0.1))


if __name__ == "__main__":
    main()
