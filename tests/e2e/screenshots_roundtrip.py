#!/usr/bin/env python3
"""Takes the documentation's pictures of the configuration round trip (not a
test): the Profile Information dialog with a unit's texts, the Save As
dialog, a refused Open, a file refused for values that are no numbers and
the question about values outside the editor's ranges; writes
docs/profile-dialog.png, docs/file-save-as.png, docs/file-refused.png,
docs/file-not-numbers.png and docs/file-values-question.png.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots_roundtrip.py
"""

import os
import struct
import subprocess
import sys

import harness
import roundtrip as rt
from harness import FRAME, Harness

TEXTS = ["Odeon Refit 2026", "Grand Theatre", "7", "Two-way screen channels, checked at the mix position.",
         "Stage Left 2-way", "Stage Right 2-way", "Centre Cluster", "LC Fill", "RC Fill"]


def main():
    harness.skip_unless_sim()
    docs = os.path.join(harness.Paths().source, "docs")
    with Harness() as h:
        sim = h.start_sim("--instant")
        for addr, word in rt.text_memory(TEXTS):
            sim.ctl("set mem 0x%08x 0x%08x" % (addr, word))
        app = h.start_program(devices=sim.device_entry())
        h.activate()
        frame = h.info(FRAME)
        away = (frame["rect"][2] + 40, frame["rect"][3] + 40)
        h.connect()

        h.command(32785)
        dlg = h.wait_for(lambda: h.dialogs("Profile Information"), 10, "profile dialog")[0]
        h.move(*away)
        h.screenshot("profile-dialog", dlg["rect"], os.path.join(docs, "profile-dialog.png"))
        h.activate(dlg)
        h.key("Escape")
        h.wait_for(lambda: not h.dialogs("Profile Information"), 10, "profile dialog closed")

        h.command(32776)
        dlg = h.wait_for(lambda: h.dialogs("Save As"), 10, "save dialog")[0]
        h.activate(dlg)
        h.type("Odeon screen 7")
        h.move(*away)
        h.screenshot("file-save-as", dlg["rect"], os.path.join(docs, "file-save-as.png"))
        h.key("Escape")
        h.wait_for(lambda: not h.dialogs("Save As"), 10, "save dialog closed")

        junk = os.path.join(h.artifacts, "notes.qvr")
        with open(junk, "wb") as f:
            f.write(b"Shopping list: cables, gaffer tape" * 10)
        h.command(32774)
        dlg = h.wait_for(lambda: h.dialogs("Open"), 10, "open dialog")[0]
        h.activate(dlg)
        h.type("Z:" + junk.replace("/", "\\"))
        h.key("Return")
        box, _ = h.wait_for(h.message_box, 10, "refusal")
        h.move(*away)
        h.screenshot("file-refused", frame["rect"], os.path.join(docs, "file-refused.png"))
        h.activate(box)
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 10, "refusal closed")

        # Files from elsewhere: one with values that are no numbers, one with
        # values outside the editor's ranges.
        made = os.path.join(h.artifacts, "made.qvr")
        subprocess.run([os.path.join(h.paths.native, "tools", "qvrtool", "qvrtool"), "new", made], check=True)
        with open(made, "rb") as f:
            factory = f.read()
        offsets = {n: 68 + 4 * i for i, (n, _) in enumerate(rt.FIELDS)}
        for name, changes, shot in (
                ("damaged.qvr", [(2, "m_fltHighGain", float("nan")), (0, "m_fltLevel", float("inf"))],
                 "file-not-numbers"),
                ("from-another-site.qvr", [(2, "m_fltHighHPFreq", 120.0), (0, "m_fltHighGain", 1e30),
                                           (5, "m_fltHPQ", 5.0)], "file-values-question")):
            data = bytearray(factory)
            for c, field, value in changes:
                struct.pack_into("<f", data, 16 + c * rt.RECORD_BYTES + offsets[field], value)
            path = os.path.join(h.artifacts, name)
            with open(path, "wb") as f:
                f.write(data)
            h.command(32774)
            dlg = h.wait_for(lambda: h.dialogs("Open"), 10, "open dialog")[0]
            h.activate(dlg)
            h.type("Z:" + path.replace("/", "\\"))
            h.key("Return")
            box, _ = h.wait_for(h.message_box, 10, shot)
            h.move(*away)
            h.screenshot(shot, frame["rect"], os.path.join(docs, shot + ".png"))
            h.activate(box)
            h.key("Return")
            h.wait_for(lambda: h.message_box() is None, 10, shot + " closed")
        code = h.exit_program(app, "close")
        if code != 0:
            print("program exit code %d" % code)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
