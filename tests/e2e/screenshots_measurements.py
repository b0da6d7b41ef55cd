#!/usr/bin/env python3
"""Takes the documentation's pictures of the measurements (not a test): the
Measurements dialog with a room measurement of the Center channel (from a
simulated room), a tolerance mask and the deviation readout; the main
window with the measured, predicted and target curves and the summed
response; and the message for a refused sidecar.  Writes
docs/measurements-dialog.png, docs/measurements-plot.png and
docs/measurements-sidecar-refused.png; what the program remembers is
forgotten again afterwards.

    QVR_BUILD_DIR=build/win QVR_NATIVE_BUILD_DIR=build/native python3 tests/e2e/screenshots_measurements.py
"""

import os
import sys
import tempfile

import harness
from harness import FRAME, ID_FILE_OPEN, Harness
from test_measurements import (ID_FILE_SAVE_AS, ID_VIEW_MEASUREMENTS, IDC_MEAS_ROOM, IDC_MEAS_ROOM_LOAD,
                               answer_file_dialog, simulated_room)

IDC_MEAS_MASK_LOAD = 1624
IDC_MEAS_MASK = 1623
IDC_MEAS_SMOOTHING = 1626


def simulated_mask(path):
    """A tolerance of the project's own making around the target: wider at
    the ends of the range, a step at 100 Hz."""
    with open(path, "w") as f:
        f.write("Frequency;Min;Ideal;Max\n")
        for fr, lo, hi in ((20, -9, 4), (100, -9, 4), (100, -3, 3), (8000, -3, 3), (16000, -6, 3), (20000, -9, 3)):
            f.write("%d;%d;0;%d\n" % (fr, lo, hi))


def main():
    docs = os.path.join(harness.Paths().source, "docs")
    tmp = tempfile.mkdtemp(prefix="qvr-meas-shots-")
    room = os.path.join(tmp, "room.txt")
    mask = os.path.join(tmp, "mask.txt")
    simulated_room(room)
    simulated_mask(mask)
    with Harness() as h:
        try:
            app = h.start_program()
            h.activate()
            frame = h.info(FRAME)
            h.key("ctrl+u")  # the summed response too
            h.wait_for(lambda: h.setting("SummedResponse") == 1, 10, "the sum shown")
            h.command(ID_VIEW_MEASUREMENTS)
            dlg = h.wait_for(lambda: h.dialogs("Measurements"), 10, "dialog")[0]
            sel = "hwnd:" + dlg["hwnd"]
            h.click_rect(h.info(sel, IDC_MEAS_ROOM_LOAD)["rect"])
            answer_file_dialog(h, room)
            h.wait_for(lambda: h.info(sel, IDC_MEAS_ROOM)["text"].startswith("room.txt"), 10, "room attached")
            h.click_rect(h.info(sel, IDC_MEAS_MASK_LOAD)["rect"])
            answer_file_dialog(h, mask)
            h.wait_for(lambda: h.info(sel, IDC_MEAS_MASK)["text"] == "mask.txt", 10, "mask attached")
            dlg = h.dialogs("Measurements")[0]
            h.activate(dlg)
            h.screenshot("measurements-dialog", dlg["rect"], os.path.join(docs, "measurements-dialog.png"))
            h.key("Escape")
            h.wait_for(lambda: not h.dialogs("Measurements"), 10, "dialog closed")
            h.screenshot("measurements-plot", frame["rect"], os.path.join(docs, "measurements-plot.png"))

            # A sidecar that is not this program's: named, and the configuration opens.
            config = os.path.join(tmp, "screen1.qvr")
            h.command(ID_FILE_SAVE_AS)
            answer_file_dialog(h, config)
            h.wait_for(lambda: os.path.exists(os.path.join(tmp, "screen1.qvm")), 10, "sidecar written")
            with open(os.path.join(tmp, "screen1.qvm"), "w") as f:
                f.write('{"format": "another-program", "version": 1}\n')
            h.command(ID_FILE_OPEN)
            answer_file_dialog(h, config)
            box, _ = h.wait_for(h.message_box, 10, "the sidecar's message")
            box = h.dialogs("QVR500")[0]
            h.screenshot("measurements-sidecar-refused", box["rect"],
                         os.path.join(docs, "measurements-sidecar-refused.png"))
            h.activate(box)
            h.key("Return")
            code = h.exit_program(app, "close")
        finally:
            h.forget_setting("SummedResponse")
        if code != 0:
            print("program exit code %d" % code)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
