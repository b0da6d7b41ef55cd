#!/usr/bin/env python3
"""Writes the sample measurement files of the tests and the fuzzers' seeds
from a simulated screen channel in a simulated room, so that no file of any
other program is needed:

    make_measurement_samples.py OUT_DIR [POINTS]

The loudspeaker: a woofer (second-order high-pass at 45 Hz, its cone's
roll-off above 2 kHz), a horn (second-order high-pass at 700 Hz, a gentle
fall above 10 kHz), each measured on its own as a driver file; the channel
as the room measurement sees it: the two through a Linkwitz-Riley crossover
at 1 kHz, in a room with two low-frequency modes, a floor reflection 2.9 ms
late, and the air's loss at high frequencies.  Written in the formats a
measurement program exports: '*' comment headers and space-separated
columns, semicolon-separated text with decimal commas and a header line,
two columns without phase.  Deterministic: the same files every time."""

import cmath
import math
import os
import sys


def hp2(f, fc, q=0.707):
    s = 1j * f / fc
    return s * s / (s * s + s / q + 1)


def lp2(f, fc, q=0.707):
    s = 1j * f / fc
    return 1 / (s * s + s / q + 1)


def peak(f, fc, gain_db, q):
    # An analog peaking resonance: a room mode.
    a = 10 ** (gain_db / 40)
    s = 1j * f / fc
    return (s * s + s * a / q + 1) / (s * s + s / (a * q) + 1)


def woofer(f):
    return hp2(f, 45, 0.8) * lp2(f, 2500, 0.6) * 10 ** (2 / 20)


def horn(f):
    return hp2(f, 700, 0.7) * lp2(f, 14000, 0.5) * 10 ** (6 / 20)


def room(f):
    reflection = 1 + 0.35 * cmath.exp(-2j * math.pi * f * 0.0029)
    air = 10 ** (-1.5 * (f / 10000) ** 2 / 20)
    return peak(f, 42, 8, 4) * peak(f, 71, -6, 6) * reflection * air


def channel(f):
    lr_low = lp2(f, 1000) ** 2
    lr_high = hp2(f, 1000) ** 2
    return room(f) * (woofer(f) * lr_low + horn(f) * lr_high)


def points(n, f0=10.0, f1=24000.0):
    return [f0 * (f1 / f0) ** (i / (n - 1)) for i in range(n)]


def db(h):
    return 20 * math.log10(abs(h))


def deg(h):
    return math.degrees(cmath.phase(h))


def write(path, text):
    with open(path, "w", newline="\n") as f:
        f.write(text)


def main(argv):
    out = argv[1]
    n = int(argv[2]) if len(argv) > 2 else 1000
    os.makedirs(out, exist_ok=True)
    fs = points(n)
    lines = ["* Simulated screen channel in a simulated room (generated)",
             "* Microphone at two thirds of the room's depth",
             "* Freq(Hz) SPL(dB) Phase(degrees)"]
    lines += ["%.4f %.3f %.2f" % (f, db(channel(f)) + 85, deg(channel(f))) for f in fs]
    write(os.path.join(out, "room_channel.txt"), "\n".join(lines) + "\n")

    lines = ["Frequency;Magnitude;Phase"]
    lines += [("%.4f;%.3f;%.2f" % (f, db(channel(f)) + 85, deg(channel(f)))).replace(".", ",") for f in fs]
    write(os.path.join(out, "room_channel_semicolon.csv"), "\r\n".join(lines) + "\r\n")

    for name, fn, phase in (("driver_woofer.frd", woofer, True), ("driver_horn.frd", horn, False)):
        lines = ["* Driver measured on its own, without the crossover (generated)"]
        for f in fs:
            h = fn(f)
            lines.append("%.4f\t%.3f\t%.2f" % (f, db(h) + 90, deg(h)) if phase else "%.4f\t%.3f" % (f, db(h) + 90))
        write(os.path.join(out, name), "\n".join(lines) + "\n")

    # A tolerance mask around a target (an example for the tests: the
    # program ships none): steps at 63 Hz and 8 kHz.
    mask = ["Frequency,Min,Ideal,Max", "20,-6,0,4", "63,-6,0,4", "63,-3,0,3", "8000,-3,0,3", "8000,-5,0,3",
            "20000,-8,0,3"]
    write(os.path.join(out, "mask_example.csv"), "\n".join(mask) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
