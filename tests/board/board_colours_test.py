#!/usr/bin/env python3
"""The board's PASS and FAIL colours seen without red and green: under a
simulation of deuteranopia and of protanopia (Machado, Oliveira and
Fernandes 2009, full severity, on linear RGB) the two must stay at least
40 CIELAB L* apart. A lightness step of about 40 L* is what reads at a glance
from a distance, as the contrast rules for text build on; hue alone, which
these readers lose, does not count. Each state's text must also stand out on
its own colour (WCAG 2 contrast 4.5:1).

usage: board_colours_test.py BOARD_CSS
Also checks itself: the run log's green and red, which differ mostly in hue,
must fail it. Other tests import it (check_pass_fail) for the colours a
browser really paints.
"""
import re
import sys

MIN_LIGHTNESS_STEP = 40.0
MIN_TEXT_CONTRAST = 4.5

# Machado et al. (2009), severity 1.0, applied to linear RGB.
SIMULATIONS = {
    "protanopia": ((0.152286, 1.052583, -0.204868),
                   (0.114503, 0.786281, 0.099216),
                   (-0.003882, -0.048116, 1.051998)),
    "deuteranopia": ((0.367322, 0.860646, -0.227968),
                     (0.280085, 0.672501, 0.047413),
                     (-0.011820, 0.042940, 0.968881)),
}


def parse_colour(text):
    """(r, g, b) in 0..255 from "#9be3a5" or "rgb(155, 227, 165)"."""
    text = text.strip()
    m = re.fullmatch(r"#([0-9a-fA-F]{6})", text)
    if m:
        return tuple(int(m.group(1)[i:i + 2], 16) for i in (0, 2, 4))
    m = re.fullmatch(r"rgba?\((\d+),\s*(\d+),\s*(\d+)(?:,\s*[\d.]+)?\)", text)
    if m:
        return tuple(int(v) for v in m.groups())
    raise ValueError("not a colour: " + text)


def to_linear(c):
    c /= 255.0
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def simulate(rgb, kind):
    """The colour as a reader with `kind` ("protanopia", "deuteranopia") sees
    it, as linear RGB in 0..1; kind None: the colour itself."""
    linear = [to_linear(c) for c in rgb]
    if kind is None:
        return linear
    return [min(1.0, max(0.0, sum(m * c for m, c in zip(row, linear))))
            for row in SIMULATIONS[kind]]


def luminance(linear):
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]


def lightness(linear):
    """CIELAB L* (0..100) of a linear RGB colour (D65 white)."""
    y = luminance(linear)
    f = y ** (1 / 3) if y > (6 / 29) ** 3 else y / (3 * (6 / 29) ** 2) + 4 / 29
    return 116 * f - 16


def contrast(a, b):
    la, lb = sorted((luminance(simulate(a, None)), luminance(simulate(b, None))), reverse=True)
    return (la + 0.05) / (lb + 0.05)


def check_pass_fail(pass_rgb, fail_rgb):
    """The problems of a PASS and a FAIL colour (an empty list: none), and a
    line of their lightness for each kind of sight."""
    problems, seen = [], []
    for kind in (None, "deuteranopia", "protanopia"):
        lp = lightness(simulate(pass_rgb, kind))
        lf = lightness(simulate(fail_rgb, kind))
        name = kind or "normal sight"
        seen.append(f"{name}: PASS L* {lp:.1f}, FAIL L* {lf:.1f}")
        if abs(lp - lf) < MIN_LIGHTNESS_STEP:
            problems.append(f"{name}: PASS and FAIL only {abs(lp - lf):.1f} L* apart "
                            f"(at least {MIN_LIGHTNESS_STEP:.0f})")
    return problems, "; ".join(seen)


def css_colours(css):
    return {name: parse_colour(value)
            for name, value in re.findall(r"--([\w-]+):\s*(#[0-9a-fA-F]{6})\s*;", css)}


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    colours = css_colours(open(argv[1], encoding="utf-8").read())
    problems, seen = check_pass_fail(colours["pass"], colours["fail"])
    print(seen)
    for state in ("running", "pass", "fail"):
        ratio = contrast(colours[state], colours[state + "-text"])
        if ratio < MIN_TEXT_CONTRAST:
            problems.append(f"the {state} text stands only {ratio:.1f}:1 on its colour")
    # The check itself: the run log's green and red, told apart by hue alone.
    caught, _ = check_pass_fail(parse_colour("#19b43c"), parse_colour("#e0231c"))
    if not any("deuteranopia" in p for p in caught):
        problems.append("the check passes the run log's green and red, which differ in hue only")
    for p in problems:
        print("FAIL: " + p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
