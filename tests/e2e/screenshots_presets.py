#!/usr/bin/env python3
"""Takes the documentation's pictures of the Speaker Library and Copy Channel
dialogs (not a test), with the shipped library and a simulated unit; writes
docs/speakerlib.png, docs/speakerlib-unusable.png, docs/speakerlib-same-name.png, docs/speakerlib-missing.png
and docs/copy-channel.png.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots_presets.py
"""

import os
import shutil
import sys
import tempfile

import harness
from harness import FRAME, Harness


def main():
    harness.skip_unless_sim()
    docs = os.path.join(harness.Paths().source, "docs")
    with Harness() as h:
        folder = tempfile.mkdtemp(prefix="qvr-shots-", dir=h.artifacts)
        shutil.copy(h.paths.program, folder)
        library = os.path.join(folder, "speakerlib.ini")
        shutil.copy(os.path.join(h.paths.source, "speakerlib", "speakerlib.ini"), library)
        h.paths.program = os.path.join(folder, "QVR500.exe")
        sim = h.start_sim("--instant")
        app = h.start_program(devices=sim.device_entry())
        h.activate()
        h.connect()
        form = h.form()
        frame = h.info(FRAME)
        away = (frame["rect"][2] + 40, frame["rect"][3] + 40)

        def shot(title, name):
            dlg = h.wait_for(lambda: h.dialogs(title), 10, title)[0]
            h.move(*away)
            h.screenshot(name, dlg["rect"], os.path.join(docs, name + ".png"))
            return dlg["hwnd"]

        def close(title, hwnd):
            h.click_rect(h.info("hwnd:" + hwnd, 2)["rect"])
            h.wait_for(lambda: not h.dialogs(title), 10, title + " closed")

        # Left on show, a three-band preset chosen, Center and Right ticked.
        h.click_rect(h.info("hwnd:" + form, 201)["rect"])
        h.click_rect(h.info("hwnd:" + form, 236)["rect"])
        dlg = h.wait_for(lambda: h.dialogs("Speaker Library"), 10, "library")[0]["hwnd"]
        h.activate(h.info("hwnd:" + dlg))  # keys go to the list, which has the focus
        h.key("Down")
        for cid in (203, 205):
            h.click_rect(h.info("hwnd:" + dlg, cid)["rect"])
        shot("Speaker Library", "speakerlib")
        close("Speaker Library", dlg)

        # A preset the editor would refuse.
        with open(library, "ab") as f:
            f.write("\r\n[Screen 3W Old Horn]\r\nBands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1200\r\nHPF=35\r\nHPQ=0.707\r\n"
                    .encode("utf-16-le"))
        h.click_rect(h.info("hwnd:" + form, 236)["rect"])
        dlg = h.wait_for(lambda: h.dialogs("Speaker Library"), 10, "library")[0]["hwnd"]
        h.activate(h.info("hwnd:" + dlg))
        h.key("End")
        h.wait_for(lambda: "cannot be used" in h.info("hwnd:" + dlg, 313)["text"], 5, "note")
        shot("Speaker Library", "speakerlib-unusable")
        close("Speaker Library", dlg)

        # Two presets a channel could not tell apart (their first 31 characters).
        with open(library, "ab") as f:
            for n in ("Screen Array Model 4000 Series Hi", "Screen Array Model 4000 Series Lo"):
                f.write(("\r\n[%s]\r\nBands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1200\r\nHBHP=1200\r\nHPF=35\r\n"
                         "HPQ=0.707\r\n" % n).encode("utf-16-le"))
        h.click_rect(h.info("hwnd:" + form, 236)["rect"])
        dlg = h.wait_for(lambda: h.dialogs("Speaker Library"), 10, "library")[0]["hwnd"]
        h.activate(h.info("hwnd:" + dlg))
        h.key("End")
        h.wait_for(lambda: "31 characters" in h.info("hwnd:" + dlg, 313)["text"], 5, "note")
        shot("Speaker Library", "speakerlib-same-name")
        close("Speaker Library", dlg)

        # No library at all.
        os.remove(library)
        h.click_rect(h.info("hwnd:" + form, 236)["rect"])
        dlg = shot("Speaker Library", "speakerlib-missing")
        close("Speaker Library", dlg)

        h.activate()
        h.key("ctrl+shift+c")
        dlg = h.wait_for(lambda: h.dialogs("Copy Channel"), 10, "copy")[0]["hwnd"]
        for cid in (1026, 1030):
            h.click_rect(h.info("hwnd:" + dlg, cid)["rect"])
        shot("Copy Channel", "copy-channel")
        close("Copy Channel", dlg)
        code = h.exit_program(app, "close")
        shutil.rmtree(folder, True)
        if code != 0:
            print("program exit code %d" % code)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
