#!/usr/bin/env python3
"""Takes the documentation's pictures of the shell (not a test): the main
window disconnected and connected, the wait box, the disconnect question and
the About box, with a simulated unit; writes docs/shell-*.png and
docs/main-window.png.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots.py
"""

import os
import sys

import harness
from harness import FRAME, ID_APP_ABOUT, Harness


def main():
    harness.skip_unless_sim()
    docs = os.path.join(harness.Paths().source, "docs")
    with Harness() as h:
        sim = h.start_sim()
        app = h.start_program(devices=sim.device_entry())
        h.activate()
        frame = h.info(FRAME)
        h.move(frame["rect"][2] + 40, frame["rect"][3] + 40)  # no hot button, no tooltip
        h.screenshot("shell-main-disconnected", frame["rect"], os.path.join(docs, "shell-main-disconnected.png"))

        # Slow replies keep the wait box up long enough to take it.
        sim.ctl("delay 3 900")
        h.key("F2")
        box = h.wait_for(h.wait_box, 10, "wait box")
        h.screenshot("shell-wait-box", frame["rect"], os.path.join(docs, "shell-wait-box.png"))
        h.wait_for(lambda: h.status_text() == "Connected", 30, "connected")

        # Levels a cinema might show: centre and sides busy, subwoofer hot.
        for channel, db in ((0, -2.0), (1, -3.0), (2, 0.0), (3, -6.0), (4, -8.0), (5, 1.0)):
            sim.ctl("set level %d %s" % (channel, db))
        meters = h.meters()
        h.wait_for(lambda: h.meter_segments(meters[-1]) == h.expected_segments(1.0), 10, "meters")
        h.move(frame["rect"][2] + 40, frame["rect"][3] + 40)
        h.screenshot("shell-main-connected", frame["rect"], os.path.join(docs, "shell-main-connected.png"))
        h.screenshot("main-window", frame["rect"], os.path.join(docs, "main-window.png"))

        h.click_rect(h.button(ID_APP_ABOUT)["rect"])
        about = h.wait_for(h.splash, 5, "about box")
        sel = "hwnd:" + about["hwnd"]
        h.wait_for(lambda: h.info(sel, 249)["text"].startswith("Firmware Revision "), 10, "firmware line")
        h.move(frame["rect"][2] + 40, frame["rect"][3] + 40)
        h.screenshot("shell-about", frame["rect"], os.path.join(docs, "shell-about.png"))
        h.click(about["rect"][0] + 40, about["rect"][1] + 70)
        h.wait_for(lambda: h.splash() is None, 5, "about closed")

        h.activate()
        h.key("F3")
        h.wait_for(lambda: h.dialogs("QVR500"), 10, "disconnect question")
        h.move(frame["rect"][2] + 40, frame["rect"][3] + 40)
        h.screenshot("shell-disconnect-question", frame["rect"],
                     os.path.join(docs, "shell-disconnect-question.png"))
        h.key("Escape")
        code = h.exit_program(app, "close")
        if code != 0:
            print("program exit code %d" % code)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
