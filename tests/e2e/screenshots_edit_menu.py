#!/usr/bin/env python3
"""Takes the documentation's picture of the Edit menu (not a test): a value
typed into High PEQ Freq. and Low Mute clicked, the mute taken back, so that
both items name their step; writes docs/edit-menu.png.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots_edit_menu.py
"""

import os

import harness
from harness import FRAME, Harness

HIGH_PEQ_FREQ = 229
LOW_MUTE = 225


def main():
    harness.skip_unless_sim()
    docs = os.path.join(harness.Paths().source, "docs")
    with Harness() as h:
        sim = h.start_sim("--instant")
        app = h.start_program(devices=sim.device_entry())
        h.activate()
        h.connect()
        form = h.form()
        field = h.info("hwnd:" + form, HIGH_PEQ_FREQ)
        h.click_rect(field["rect"])
        h.key("End", "shift+Home", "BackSpace")
        h.type("1500")
        h.key("Return")
        h.click_rect(h.info("hwnd:" + form, LOW_MUTE)["rect"])
        h.wait_for(lambda: sim.ctl("get param 2 30").split()[0] == "0x00010000", 10, "mute sent")
        h.key("ctrl+z")
        h.wait_for(lambda: sim.ctl("get param 2 30").split()[0] == "0x00000000", 10, "mute undone")
        h.key("alt")
        h.key("e")
        menu = h.wait_for(lambda: [w for w in h.windows() if w["class"] == "#32768"], 10, "Edit menu")[0]
        frame = h.info(FRAME)["rect"]
        rect = (frame[0], frame[1], menu["rect"][2] + 160, menu["rect"][3] + 60)
        h.screenshot("edit-menu", rect, os.path.join(docs, "edit-menu.png"))
        h.key("Escape", "Escape")
        h.exit_program(app, "close")


if __name__ == "__main__":
    main()
