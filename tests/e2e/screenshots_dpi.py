#!/usr/bin/env python3
"""Takes the documentation's pictures of the main window at 96, 120 and 144
dpi (100 %, 125 %, 150 %), connected to a simulated unit with the meters
showing levels and the High PEQ handle on the plot (not a test); writes
docs/main-window-<dpi>dpi.png.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots_dpi.py
"""

import os
import sys

import harness
from harness import FRAME, Harness

HIGH_PEQ_FREQ = 229


def main():
    harness.skip_unless_sim()
    docs = os.path.join(harness.Paths().source, "docs")
    with Harness() as h:
        for dpi in (96, 120, 144):
            sim = h.start_sim("--instant")
            app = h.start_program(devices=sim.device_entry(), dpi=dpi)
            h.activate()
            h.connect()
            for channel, db in ((0, -2.0), (1, -3.0), (2, 0.0), (3, -6.0), (4, -8.0), (5, 1.0)):
                sim.ctl("set level %d %s" % (channel, db))
            meters = h.meters()
            h.wait_for(lambda: h.meter_segments(meters[-1], dpi) == h.expected_segments(1.0), 10, "meters")
            form = h.form()
            h.click_rect(h.info("hwnd:" + form, HIGH_PEQ_FREQ)["rect"])  # shows the High PEQ handle
            frame = h.info(FRAME)
            h.move(frame["rect"][2] + 40, frame["rect"][3] + 40)
            h.screenshot("main-window-%ddpi" % dpi, frame["rect"],
                         os.path.join(docs, "main-window-%ddpi.png" % dpi))
            code = h.exit_program(app, "post")
            sim.stop()
            if code != 0:
                print("program exit code %d at %d dpi" % (code, dpi))
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
