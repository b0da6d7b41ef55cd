#!/usr/bin/env python3
"""Takes the documentation's pictures of the firmware download dialog (in the
middle of a download, and ended by a flash bit that stays set), the
diagnostics terminal and the sibling link window (not a test); writes
docs/download-firmware.png, docs/download-verify-failed.png,
docs/diagnostics-terminal.png and docs/sibling-link-window.png.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots_dialogs.py
"""

import os
import random
import re
import sys

import harness
from harness import FRAME, Harness
from test_firmware import DOWNLOAD, ESTIMATE, PATH, image, wine_path
from test_sibling import StandIn


def main():
    harness.skip_unless_sim()
    docs = os.path.join(harness.Paths().source, "docs")
    with Harness() as h:
        sim = h.start_sim()
        path = os.path.join(h.artifacts, "docs-image.XOF")
        rng = random.Random(1)
        with open(path, "wb") as f:
            words = [rng.getrandbits(32) for _ in range(30000)]
            words[3000] &= ~0x10  # the file clears the bit that the flash will keep
            f.write(image(words))
        app = h.start_program(devices=sim.device_entry())
        h.activate()
        h.key("F2")
        h.wait_for(lambda: h.status_text() == "Connected", 30, "connected")

        h.key("alt")
        h.key("c")
        h.key("f")
        dlg = h.wait_for(lambda: (h.dialogs("Download Firmware") or [None])[0], 10, "download dialog")
        sel = "hwnd:" + dlg["hwnd"]
        h.click_control(sel, PATH)
        h.type(wine_path(path))
        h.click_control(sel, DOWNLOAD)
        # A few seconds into the writes, so that the estimate has settled.
        def words_sent():
            m = re.match(r"^(\d+) of", h.info(sel, ESTIMATE)["text"])
            return int(m.group(1)) if m else 0
        h.wait_for(lambda: words_sent() >= 1500, 60, "estimate", interval=1)
        h.move(dlg["rect"][2] + 40, dlg["rect"][3] + 40)
        h.screenshot("download-firmware", dlg["rect"], os.path.join(docs, "download-firmware.png"))
        # A flash bit that stays set a little further on ends the download at that word.
        sim.ctl("stuck 0x%08X 0x10" % (0x90000000 + 4 * 3000))
        h.wait_for(lambda: h.info(sel, 1)["enabled"], 60, "download ended", interval=1)
        h.screenshot("download-verify-failed", dlg["rect"], os.path.join(docs, "download-verify-failed.png"))
        sim.ctl("clearfaults")
        h.click_control(sel, 1)
        h.activate()

        sim.ctl("set mem 0x90060000 0x3FC00000")
        h.key("alt")
        h.key("h")
        h.key("Return")
        term = h.wait_for(lambda: (h.dialogs("Terminal") or [None])[0], 10, "terminal")
        tsel = "hwnd:" + term["hwnd"]
        for line in ("1 0 90060000 0", "0 5 1.5 -2.25", "E 0 0 0", "b 0 0 0"):
            h.type(line)
            h.key("Return")
        h.wait_for(lambda: h.info(tsel, 310)["text"].count("ITR") == 3, 10, "replies")
        h.screenshot("diagnostics-terminal", term["rect"], os.path.join(docs, "diagnostics-terminal.png"))
        h.key("Escape")
        h.exit_program(app, "close")

        sib = StandIn(h, answer=True)
        try:
            app = h.start_program()
            box = h.wait_for(h.message_box, 15, "link question")
            yes = [c for c in h.children("hwnd:" + box[0]["hwnd"]) if c["class"] == "Button" and "Yes" in c["text"]][0]
            h.click_rect(yes["rect"])
            link = h.wait_for(lambda: h.find("title:QVR500/PLM-40,visible"), 10, "link window")
            h.move(link["rect"][2] + 200, link["rect"][3] + 200)
            left, top, right, bottom = link["rect"]
            h.screenshot("sibling-link-window", (left, top, right, bottom),
                         os.path.join(docs, "sibling-link-window.png"))
            h.exit_program(app, "close")
        finally:
            sib.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
