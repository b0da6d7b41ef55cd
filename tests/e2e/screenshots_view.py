#!/usr/bin/env python3
"""Takes the documentation's picture of the View menu (not a test): the main
window with View > Summed Response on and the menu open again, showing its
check mark over the drawn sum; writes docs/view-menu.png.  What the program
remembers of it is forgotten again afterwards.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots_view.py
"""

import os
import sys

import harness
from harness import FRAME, Harness


def main():
    docs = os.path.join(harness.Paths().source, "docs")
    with Harness() as h:
        try:
            app = h.start_program()
            h.activate()
            frame = h.info(FRAME)
            h.key("ctrl+u")
            h.wait_for(lambda: h.setting("SummedResponse") == 1, 10, "the sum shown and remembered")
            h.key("alt")
            h.key("v")
            h.move(frame["rect"][2] + 40, frame["rect"][3] + 40)
            h.wait_for(lambda: h.windows() and any(w["class"] == "#32768" for w in h.windows()), 5, "the menu open")
            h.screenshot("view-menu", frame["rect"], os.path.join(docs, "view-menu.png"))
            h.key("Escape")
            h.key("Escape")
            code = h.exit_program(app, "close")
        finally:
            h.forget_setting("SummedResponse")
        if code != 0:
            print("program exit code %d" % code)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
