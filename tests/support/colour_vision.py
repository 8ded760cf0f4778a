#!/usr/bin/env python3
"""Red-green colour blindness simulated on sRGB colours and images, and CIELAB
lightness: enough to check that two colours stay apart for an operator who
cannot tell red from green.

The simulation is Machado, Oliveira and Fernandes (2009), "A Physiologically-
based Model for Simulation of Color Vision Deficiency", at full severity
(protanopia, deuteranopia), applied to linear RGB as the model requires.

  python3 colour_vision.py '#9BE3A5' '#8B1A1A'   prints L* of each, plain and simulated
"""
import sys

# Machado et al. (2009), severity 1.0, on linear RGB.
MATRICES = {
    "protanopia": (
        (0.152286, 1.052583, -0.204868),
        (0.114503, 0.786281, 0.099216),
        (-0.003882, -0.048116, 1.051998),
    ),
    "deuteranopia": (
        (0.367322, 0.860646, -0.227968),
        (0.280085, 0.672501, 0.047413),
        (-0.011820, 0.042940, 0.968881),
    ),
}
KINDS = tuple(MATRICES)


def to_linear(c8):
    """An 8-bit sRGB channel as linear light, 0..1."""
    c = c8 / 255.0
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def to_srgb8(linear):
    """Linear light (clipped to 0..1) as an 8-bit sRGB channel."""
    c = min(1.0, max(0.0, linear))
    c = c * 12.92 if c <= 0.0031308 else 1.055 * c ** (1 / 2.4) - 0.055
    return round(c * 255)


def parse(colour):
    """'#RRGGBB' as (r, g, b) in 0..255; a tuple is returned as it is."""
    if isinstance(colour, str):
        h = colour.lstrip("#")
        return tuple(int(h[i : i + 2], 16) for i in (0, 2, 4))
    return tuple(colour)


def simulate(rgb, kind):
    """The 8-bit sRGB colour that a person with `kind` sees for `rgb`."""
    m = MATRICES[kind]
    lin = [to_linear(c) for c in parse(rgb)]
    return tuple(to_srgb8(sum(m[row][i] * lin[i] for i in range(3))) for row in range(3))


def lightness(rgb):
    """CIELAB L* (0 black .. 100 white, D65) of an 8-bit sRGB colour."""
    r, g, b = (to_linear(c) for c in parse(rgb))
    y = 0.2126 * r + 0.7152 * g + 0.0722 * b
    delta = 6 / 29
    f = y ** (1 / 3) if y > delta**3 else y / (3 * delta**2) + 4 / 29
    return 116 * f - 16


def simulate_pixels(pixels, kind):
    """simulate() on every (r, g, b) of an image's pixels (a list), cached per colour."""
    seen = {}
    out = []
    for p in pixels:
        if p not in seen:
            seen[p] = simulate(p, kind)
        out.append(seen[p])
    return out


def median_lightness(pixels):
    """The median L* of pixels: an area's background, whatever text it holds."""
    values = sorted(lightness(p) for p in pixels)
    return values[len(values) // 2]


def read_ppm(path_or_bytes):
    """A binary PPM (P6, maxval 255) as (width, height, [(r, g, b), ...])."""
    data = path_or_bytes
    if isinstance(data, str):
        with open(data, "rb") as f:
            data = f.read()
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at : at + 1].isspace():
            at += 1
        if data[at : at + 1] == b"#":
            at = data.index(b"\n", at) + 1
            continue
        end = at
        while not data[end : end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    at += 1  # the single whitespace after maxval
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not an 8-bit binary PPM")
    w, h = int(fields[1]), int(fields[2])
    raw = data[at : at + 3 * w * h]
    return w, h, [tuple(raw[i : i + 3]) for i in range(0, len(raw), 3)]


def main(argv):
    for colour in argv[1:]:
        parts = [f"{colour}: L* {lightness(colour):.1f}"]
        for kind in KINDS:
            s = simulate(colour, kind)
            parts.append(f"{kind} #{s[0]:02X}{s[1]:02X}{s[2]:02X} L* {lightness(s):.1f}")
        print(", ".join(parts))


if __name__ == "__main__":
    main(sys.argv)
