#!/usr/bin/env python3
"""Firmware download with qvr500-sim: a whole program area (256 KiB, 65536
words) downloaded and verified word by word from the write replies, the
progress bar and the estimate moving at the real line rate; the link pulled
in the middle; and bad files, each refused with the unit's flash untouched."""

import os
import random
import re

import harness
from harness import FRAME, E2ETestCase

DIALOG = "Download Firmware"
IDC_LOW_LP_FREQ = 211
PATH, BROWSE, DOWNLOAD, STATUS, PROGRESS, ESTIMATE, OK = 259, 260, 261, 262, 316, 317, 1
PBM_GETPOS = 0x408
PROGRAM_START = 0x90000000
ICON_ERROR = 2


def image(words, per_line=8):
    out = bytearray(b"\x02\r\n")
    for i, w in enumerate(words):
        out += ("%02X %02X %02X %02X " % (w & 0xFF, (w >> 8) & 0xFF, (w >> 16) & 0xFF, w >> 24)).encode()
        if per_line and i % per_line == per_line - 1:
            out += b"\r\n"
    return bytes(out)


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


class Firmware(E2ETestCase):
    need_sim = True

    def write_file(self, name, data):
        path = os.path.join(self.h.artifacts, name)
        with open(path, "wb") as f:
            f.write(data)
        self.addCleanup(os.remove, path)
        return path

    def open_dialog(self):
        h = self.h
        h.activate()
        h.key("alt")
        h.key("c")
        h.key("f")  # Communication > Download Firmware...
        dlg = h.wait_for(lambda: (h.dialogs(DIALOG) or [None])[0], 10, "download dialog")
        return dlg, "hwnd:" + dlg["hwnd"]

    def start_download(self, sel, path):
        h = self.h
        edit = h.info(sel, PATH)
        h.click_rect(edit["rect"])
        h.key("ctrl+a", "BackSpace")
        h.type(wine_path(path))
        h.wait_for(lambda: h.info(sel, PATH)["text"] == wine_path(path), 5, "path typed")
        h.click_control(sel, DOWNLOAD)

    def answer_box(self):
        """Clicks OK in the message box "QVR500" as a person would."""
        h = self.h
        box = h.message_box()
        ok = [c for c in h.children("hwnd:" + box[0]["hwnd"]) if c["class"] == "Button"][0]
        h.click_rect(ok["rect"])
        h.wait_for(lambda: h.message_box() is None, 10, "message closed")

    def status(self, sel):
        return [(i["text"], i["image"]) for i in self.h.probe("listview", sel, STATUS)["items"]]

    def progress(self, sel):
        return self.h.probe("send", "hwnd:" + self.h.info(sel, PROGRESS)["hwnd"], PBM_GETPOS, 0, 0)["result"]

    def unit_words(self, sim, count):
        words = []
        for start in range(0, count, 4096):
            n = min(4096, count - start)
            reply = sim.ctl("get mem 0x%08X %d" % (PROGRAM_START + 4 * start, n))
            words += [int(x, 16) for x in reply.split()]
        return words

    def test_whole_program_area_downloads_and_verifies(self):
        h = self.h
        rng = random.Random(500)
        words = [rng.getrandbits(32) for _ in range(65536)]
        path = self.write_file("full.XOF", image(words))
        sim = h.start_sim()
        sim.ctl("set param 2 23 432")  # Center's Low LP: the program shows another value until it reads the unit
        app = self.start(sim.device_entry())
        dlg, sel = self.open_dialog()
        self.start_download(sel, path)  # not connected: the dialog opens the link

        extent = "65536 words, 0x90000000 to 0x9003FFFC"
        h.wait_for(lambda: ("Erasing flash RAM", 0) in self.status(sel), 10, "erasing")
        # The image's extent before anything is erased: a file cut on a record boundary shows here.
        self.assertEqual(self.status(sel)[-1], ("Image: " + extent, 0))
        self.assertFalse(h.info(sel, DOWNLOAD)["enabled"])
        self.assertFalse(h.info(sel, OK)["enabled"])
        self.assertTrue(h.info(sel, PROGRESS)["visible"])
        h.wait_for(lambda: self.status(sel)[0][0] == "Writing program to flash", 30, "erase answered")
        # Progress and estimate move.
        first = h.wait_for(lambda: self.progress(sel) or None, 30, "progress")
        est1 = h.wait_for(lambda: re.match(r"^\d+ of 65536 words sent\.  Est\. Time remaining: \d\d:\d\d$",
                                           h.info(sel, ESTIMATE)["text"]) and h.info(sel, ESTIMATE)["text"],
                          10, "estimate")
        h.screenshot("download-writing", dlg["rect"])
        h.wait_for(lambda: self.progress(sel) > first + 500, 30, "progress moves")
        h.wait_for(lambda: h.info(sel, ESTIMATE)["text"] != est1, 10, "estimate moves")
        # The rest goes without the line's timing: at 115200 baud the whole area takes
        # ten minutes (the download benchmark measures that), which the test run cannot
        # afford; what is checked below does not depend on the rate.
        sim.ctl("timing instant")
        # Closing the dialog under the download does nothing.
        h.post(sel, 0x10)  # WM_CLOSE
        # Long waits look every few seconds: each look starts a process under Wine.
        h.wait_for(lambda: self.status(sel)[0][0] == "Firmware download complete", 900, "download complete",
                   interval=5)

        self.assertEqual([t for t, _ in self.status(sel)],
                         ["Firmware download complete", "65536 words verified, 0x90000000 to 0x9003FFFC",
                          "Writing program to flash", "Erasing flash RAM", "Image: " + extent])
        self.assertFalse(h.info(sel, PROGRESS)["visible"])
        self.assertFalse(h.info(sel, ESTIMATE)["visible"])
        self.assertTrue(h.info(sel, OK)["enabled"])
        # One erase, each word written and verified by its reply, nothing read back (a request whose reply
        # came late on a loaded machine is sent again by the queue: a few more requests, never fewer).
        self.assertEqual(sim.count_cmd(6), 1)
        self.assertTrue(65536 <= sim.count_cmd(4) <= 65536 + 20, sim.count_cmd(4))
        self.assertEqual(sim.count_cmd(1), 0)
        self.assertEqual(self.unit_words(sim, 65536), words)
        h.click_control(sel, OK)
        h.wait_for(lambda: not h.dialogs(DIALOG), 5, "dialog closed")
        # The link the dialog opened is read back like a Connect's: "Connected"
        # means the screen shows the unit.
        h.wait_for(lambda: h.status_text() == "Connected", 60, "read back after the download")
        self.assertIsNone(h.wait_box())
        form = h.form()
        self.assertEqual(h.info("hwnd:" + form, IDC_LOW_LP_FREQ)["text"], "432")
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_a_download_over_a_connection_reads_the_unit_back(self):
        # New firmware may have reset the unit's values: after a download
        # completed over an existing connection the screen shows the unit's
        # values again, as after one that opened the link itself.
        h = self.h
        rng = random.Random(11)
        words = [rng.getrandbits(32) for _ in range(300)]
        path = self.write_file("connected.XOF", image(words))
        sim = h.start_sim("--instant")
        app = self.start(sim.device_entry())
        h.activate()
        h.key("F2")
        h.wait_for(lambda: h.status_text() == "Connected", 60, "connected")
        form = h.form()
        shown = h.info("hwnd:" + form, IDC_LOW_LP_FREQ)["text"]
        self.assertNotEqual(shown, "432")
        reads = sim.count_cmd(13)
        dlg, sel = self.open_dialog()
        self.start_download(sel, path)
        sim.ctl("set param 2 23 432")  # Center's Low LP, as the new firmware left it
        h.wait_for(lambda: self.status(sel)[0][0] == "Firmware download complete", 60, "download complete")
        self.assertEqual(self.unit_words(sim, 300), words)
        self.assertEqual(h.info("hwnd:" + form, IDC_LOW_LP_FREQ)["text"], shown)  # read only after the dialog
        h.click_control(sel, OK)
        h.wait_for(lambda: not h.dialogs(DIALOG), 5, "dialog closed")
        h.wait_for(lambda: h.info("hwnd:" + form, IDC_LOW_LP_FREQ)["text"] == "432", 60, "read back")
        h.wait_for(lambda: h.status_text() == "Connected" and h.wait_box() is None, 60, "read-back ended")
        self.assertGreater(sim.count_cmd(13), reads)  # the outputs were read again too
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_pulled_link_stops_the_download_and_connect_works_again(self):
        h = self.h
        rng = random.Random(7)
        path = self.write_file("pulled.XOF", image([rng.getrandbits(32) for _ in range(8000)], 0))
        sim = h.start_sim()
        app = self.start(sim.device_entry())
        dlg, sel = self.open_dialog()
        self.start_download(sel, path)
        h.wait_for(lambda: self.progress(sel) >= 4000, 90, "half way into the writes", interval=1)
        sim.ctl("unplug")
        box = h.wait_for(h.message_box, 30, "message 524")
        self.assertEqual(box[1].splitlines()[0], "Communication to active device has been lost.")
        # The dialog has said it meanwhile, with the error icon.
        h.wait_for(lambda: h.info(sel, OK)["enabled"], 10, "dialog usable")
        lines = self.status(sel)
        self.assertEqual(lines[:2], [("The unit needs a new firmware download", ICON_ERROR),
                                     ("Download not complete: link to the unit lost", ICON_ERROR)])
        self.assertFalse(h.info(sel, PROGRESS)["visible"])
        self.answer_box()
        writes = sim.count_cmd(4)
        self.assertLess(writes, 8000)
        self.assertEqual(sim.count_cmd(1), 0)  # no read-back of a half-written area
        h.click_control(sel, OK)
        h.wait_for(lambda: not h.dialogs(DIALOG), 5, "dialog closed")
        self.assertEqual(h.status_text(), "Disconnected")
        sim.ctl("plug")
        h.activate()
        h.key("F2")
        h.wait_for(lambda: h.status_text() == "Connected", 60, "connected again")
        # Nothing of the download was left queued behind the failure.
        self.assertEqual(sim.count_cmd(4), writes)
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_browse_offers_firmware_files_and_fills_the_path(self):
        h = self.h
        path = self.write_file("browse.XOF", image([1, 2, 3]))
        app = self.start()
        dlg, sel = self.open_dialog()
        h.click_control(sel, BROWSE)
        box = h.wait_for(lambda: (h.dialogs("Open") or [None])[0], 15, "file dialog")
        bsel = "hwnd:" + box["hwnd"]
        filters = h.probe("combo", bsel, 0x470)  # the file type list of the common dialog
        self.assertEqual([i["text"] for i in filters["items"]], ["QVR Firmware Files (*.XOF)"])
        h.type(wine_path(path))  # the file name box has the focus
        h.key("Return")
        h.wait_for(lambda: not h.dialogs("Open"), 10, "file dialog closed")
        self.assertEqual(h.info(sel, PATH)["text"].lower(), wine_path(path).lower())

        h.click_control(sel, OK)
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_bad_files_are_refused_and_the_unit_is_untouched(self):
        h = self.h
        sim = h.start_sim()
        sim.ctl("set mem 0x90000000 0x12345678")
        rec = b"01 02 03 04 "
        cases = [
            ("header-only.XOF", b"\x02\r\n",
             "The file holds no program words: a download would only erase the unit."),
            ("no-header.XOF", rec * 3, "The file does not start with the firmware header (02 0D 0A)."),
            ("bad-pair.XOF", b"\x02\r\n" + rec + b"\r\n" + rec + b"0x 00 00 00 ",
             "Record 3 (at byte 29) is not four hexadecimal pairs, each followed by a space."),
            ("cut.XOF", b"\x02\r\n" + rec * 2 + b"AA BB",
             "The file ends inside record 3 (at byte 27)."),
            ("too-big.XOF", image([0] * 65537, 0),
             "Record 65537 is one word more than the program area holds (65536 words)."),
        ]
        app = self.start(sim.device_entry())
        dlg, sel = self.open_dialog()
        for name, data, reason in cases:
            self.start_download(sel, self.write_file(name, data))
            box = h.wait_for(h.message_box, 10, "message for " + name)
            self.assertEqual(box[1], "Failed to open the selected firmware file.\r\n\r\n" + reason, name)
            if name == "bad-pair.XOF":
                h.screenshot("download-bad-file", h.info(FRAME)["rect"])
            self.answer_box()
        self.assertEqual(self.status(sel), [])
        self.assertIn("requests=0 ", sim.ctl("stats"))
        self.assertEqual(sim.ctl("get mem 0x90000000"), "0x12345678")
        self.assertEqual(h.status_text(), "Disconnected")
        h.click_control(sel, OK)
        self.assertEqual(h.exit_program(app, "close"), 0)


if __name__ == "__main__":
    harness.main()
