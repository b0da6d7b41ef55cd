#!/usr/bin/env python3
"""Measurements in the real program with a simulated unit: a room
measurement of the Center channel (made here from a simulated room) is
attached in View > Measurements..., the High PEQ handle is dragged and the
predicted curve moves with it while the measured one stays, Save As writes
the sidecar beside the configuration, and Open brings the measurement back
(the predicted curve where the drag left it).  A damaged sidecar is named in
a message and the configuration opens all the same."""

import json
import math
import os
import tempfile
import time

import harness
from harness import ID_FILE_OPEN, E2ETestCase
from test_editor import grab

ID_FILE_SAVE_AS = 32776
ID_VIEW_MEASUREMENTS = 32802
IDC_MEAS_ROOM = 1601
IDC_MEAS_ROOM_LOAD = 1602
IDC_MEAS_ROOM_REMOVE = 1603
IDC_PLOT = 209
IDC_HIGH_PEQ_FREQ = 229
IDC_HIGH_PEQ_GAIN = 231
MEASURED = (192, 192, 192)
PREDICTED = (255, 128, 0)


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def answer_file_dialog(h, path):
    """Answers the file dialog that is up (Open or Save As) with a full path."""
    dlg = h.wait_for(lambda: h.dialogs("Open") or h.dialogs("Save As"), 15, "file dialog")[0]
    title = dlg["text"]
    h.activate(dlg)
    h.type(winpath(path))
    h.key("Return")
    h.wait_for(lambda: not h.dialogs(title), 15, "%s dialog gone" % title)


def simulated_room(path, points=400):
    """A loudspeaker in a room as a measurement program would write it: a
    header of comments, then frequency, level (sound pressure) and phase.
    The room adds a low-frequency mode and a gentle treble loss."""
    with open(path, "w") as f:
        f.write("* simulated room, microphone two thirds back\n* Freq(Hz) SPL(dB) Phase(deg)\n")
        for k in range(points):
            fr = 20.0 * 1000.0 ** (k / (points - 1))
            mode = 6.0 * math.exp(-(math.log2(fr / 63.0) * 3.0) ** 2)
            treble = -1.5 * max(0.0, math.log2(fr / 2000.0))
            f.write("%.3f\t%.3f\t%.3f\n" % (fr, 84.0 + mode + treble, -30.0 * math.log10(fr / 20.0)))


class Measurements(E2ETestCase):
    need_sim = True

    def setUp(self):
        super().setUp()
        self.tmp = tempfile.mkdtemp(prefix="qvr-meas-")
        self.sim = self.h.start_sim("--instant")
        self.start(self.sim.device_entry())
        h = self.h
        h.activate()
        h.connect()
        self.form = h.form()

    def ctl(self, cid):
        return self.h.info("hwnd:" + self.form, cid)

    def text(self, cid):
        return self.ctl(cid)["text"]

    def dialog(self, title):
        return self.h.wait_for(lambda: self.h.dialogs(title), 15, title)[0]["hwnd"]

    def click_in(self, dlg, cid):
        self.h.click_rect(self.h.info("hwnd:" + dlg, cid)["rect"])

    def answer_file_dialog(self, path):
        answer_file_dialog(self.h, path)

    def curve(self, colour):
        """Column -> topmost row of a colour in the plot (screen coordinates)."""
        rect = self.ctl(IDC_PLOT)["rect"]
        px = grab(self.h, rect)
        out = {}
        for y, row in enumerate(px):
            for x, c in enumerate(row):
                if c == colour and (rect[0] + x) not in out:
                    out[rect[0] + x] = rect[1] + y
        return out

    def attach_room(self, path):
        h = self.h
        h.command(ID_VIEW_MEASUREMENTS)
        dlg = self.dialog("Measurements")
        self.click_in(dlg, IDC_MEAS_ROOM_LOAD)
        self.answer_file_dialog(path)
        self.assertEventually(lambda: h.info("hwnd:" + dlg, IDC_MEAS_ROOM)["text"].startswith("room.txt: 400 points"),
                              10, "the room measurement attached")
        h.screenshot("measurements-dialog-attached")
        h.activate(next(d for d in h.dialogs("Measurements")))
        h.key("Escape")
        h.wait_for(lambda: not h.dialogs("Measurements"), 10, "dialog closed")

    def adjuster_centre(self):
        """The High PEQ handle: selected by a click into its frequency field,
        found on screen by the handle's colour (its widest row)."""
        rect = self.ctl(IDC_PLOT)["rect"]
        px = grab(self.h, rect)
        rows = {}
        for y, row in enumerate(px):
            xs = [x for x, c in enumerate(row) if c == (128, 255, 255)]
            if xs:
                rows[y] = xs
        y = max(rows, key=lambda r: len(rows[r]))
        xs = rows[y]
        return rect[0] + (xs[0] + xs[-1]) // 2, rect[1] + y

    def test_a_room_measurement_follows_a_drag_and_comes_back_with_the_configuration(self):
        h = self.h
        room = os.path.join(self.tmp, "room.txt")
        simulated_room(room)
        self.attach_room(room)
        self.assertEventually(lambda: len(self.curve(PREDICTED)) > 300, 10, "the predicted curve drawn")
        measured_before = self.curve(MEASURED)
        predicted_before = self.curve(PREDICTED)
        self.assertGreater(len(measured_before), 300, "the measured curve is drawn (thin, over the predicted)")
        h.screenshot("measurements-plot")

        # The High PEQ (3 kHz) dragged 12 pixels up: +6 dB.
        self.h.click_rect(self.ctl(IDC_HIGH_PEQ_FREQ)["rect"])
        x, y = self.adjuster_centre()
        h.xdo("mousemove", x, y, "mousedown", "1")
        time.sleep(0.1)  # pacing only: a hand's movement
        h.xdo("mousemove", x, y - 6)
        time.sleep(0.1)
        h.xdo("mousemove", x, y - 12)
        self.assertEventually(lambda: float(self.text(IDC_HIGH_PEQ_GAIN)) >= 5.0, 10, "the PEQ raised about 6 dB")
        h.xdo("mouseup", "1")
        # At the PEQ's frequency the prediction rose by about 12 pixels (6 dB);
        # far from it (100 Hz and below) it stayed; the measurement did not move.
        # (beside the handle's line, which is drawn over the curves)
        xc = x + 8
        self.assertEventually(lambda: self.curve(PREDICTED).get(xc, 10 ** 6) <= predicted_before[xc] - 8, 10,
                              "the predicted curve rose at 3 kHz")
        after = self.curve(PREDICTED)
        left = min(predicted_before)
        for col in range(left + 5, left + 60, 10):
            if col in after and col in predicted_before:
                self.assertLessEqual(abs(after[col] - predicted_before[col]), 1, "column %d moved" % col)
        measured_after = self.curve(MEASURED)
        for col in range(left + 5, left + 60, 10):
            if col in measured_after and col in measured_before:
                self.assertEqual(measured_after[col], measured_before[col])

        # Save As: the sidecar beside the configuration holds the points.
        config = os.path.join(self.tmp, "screen1.qvr")
        h.command(ID_FILE_SAVE_AS)
        self.answer_file_dialog(config)
        sidecar = os.path.join(self.tmp, "screen1.qvm")
        self.assertEventually(lambda: os.path.exists(sidecar), 10, "the sidecar written")
        with open(sidecar) as f:
            doc = json.load(f)
        self.assertEqual(doc["format"], "qvr500-measurements")
        rooms = [c for c in doc["channels"] if c.get("room")]
        self.assertEqual([c["channel"] for c in rooms], [2])
        self.assertEqual(len(rooms[0]["room"]["freq"]), 400)

        # Removed, the curves go; Open brings them back as the drag left them.
        h.command(ID_VIEW_MEASUREMENTS)
        dlg = self.dialog("Measurements")
        self.click_in(dlg, IDC_MEAS_ROOM_REMOVE)
        self.assertEventually(lambda: h.info("hwnd:" + dlg, IDC_MEAS_ROOM)["text"] == "None", 10, "removed")
        h.activate(next(d for d in h.dialogs("Measurements")))
        h.key("Escape")
        h.wait_for(lambda: not h.dialogs("Measurements"), 10, "dialog closed")
        self.assertEventually(lambda: not self.curve(PREDICTED), 10, "the predicted curve gone")
        h.command(ID_FILE_OPEN)
        self.answer_file_dialog(config)
        self.assertEventually(lambda: self.curve(PREDICTED).get(xc) == after.get(xc), 10,
                              "the predicted curve back where the drag left it")
        self.assertIsNone(h.message_box())

    def test_a_damaged_sidecar_is_named_and_the_configuration_opens(self):
        h = self.h
        config = os.path.join(self.tmp, "screen2.qvr")
        h.command(ID_FILE_SAVE_AS)
        self.answer_file_dialog(config)
        self.assertEventually(lambda: os.path.exists(config), 10, "the configuration saved")
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "screen2.qvm")), "no measurements: no sidecar")
        with open(os.path.join(self.tmp, "screen2.qvm"), "w") as f:
            f.write('{"format": "something else", "version": 1}')
        h.command(ID_FILE_OPEN)
        self.answer_file_dialog(config)
        box, text = h.wait_for(h.message_box, 10, "the sidecar's message")
        self.assertIn("were not loaded", text)
        self.assertIn("screen2.qvm", text)
        self.assertIn("The configuration itself has been opened.", text)
        h.screenshot("measurements-sidecar-refused")
        h.activate(box)
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 10, "message gone")
        self.assertFalse(self.curve(PREDICTED))


if __name__ == "__main__":
    harness.main()
