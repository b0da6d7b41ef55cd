#!/usr/bin/env python3
"""The diagnostics terminal with qvr500-sim: lines typed with the link
closed, a memory read, a float field, refused lines that send nothing, a
memory write, and every command reply written as one line."""

import harness
from harness import E2ETestCase

DIALOG = "Terminal"
EDIT, DONE = 310, 1


class Terminal(E2ETestCase):
    need_sim = True

    def open_terminal(self):
        h = self.h
        h.activate()
        h.key("alt")
        h.key("h")
        h.key("Return")  # Help > Diagnostics, the first item
        dlg = h.wait_for(lambda: (h.dialogs(DIALOG) or [None])[0], 10, "terminal")
        return dlg, "hwnd:" + dlg["hwnd"]

    def text(self, sel):
        return self.h.info(sel, EDIT)["text"]

    def line(self, sel, text):
        self.h.type(text)
        self.h.key("Return")

    def test_lines_and_replies(self):
        h = self.h
        sim = h.start_sim()
        sim.ctl("set mem 0x90060000 0x3FC00000")
        app = self.start(sim.device_entry())

        dlg, sel = self.open_terminal()
        self.line(sel, "1 0 90060000 0")
        h.wait_for(lambda: self.text(sel) == "1 0 90060000 0\r\nNOT CONNECTED\r\n", 10, "not connected")
        h.click_control(sel, DONE)
        h.wait_for(lambda: not h.dialogs(DIALOG), 5, "terminal closed")

        h.activate()
        h.key("F2")
        h.wait_for(lambda: h.status_text() == "Connected", 30, "connected")
        sim.ctl("clearlog")
        dlg, sel = self.open_terminal()
        expected = ""
        for typed, answer in [
            ("1 0 90060000 0", "ITR: 0 UW: 90060000 (-0.000000) LW: 3FC00000 (1.500000)"),
            ("E 0 0 0", "INVALID ENTRY"),
            ("1 0 0", "INVALID ENTRY"),
            ("1 0 FFFFFFFFF 0", "INVALID ENTRY"),
            ("1 -1 0 0", "INVALID ENTRY"),
            ("1 0 90060000 0 junk", "INVALID ENTRY"),
            ("0 5 1.5 -2.25", "ITR: 5 UW: 3FC00000 (1.500000) LW: C0100000 (-2.250000)"),
            ("4 0 90060004 DEADBEEF", "ITR: 0 UW: 90060004 (-0.000000) LW: DEADBEEF (-6259853398707798016.000000)"),
            # What the unit would refuse (three refusals end the link) is not sent.
            ("1 0 90070000 0", "INVALID ENTRY"),
            ("6 0 90060000 10001", "INVALID ENTRY"),
            ("D 0 4 0", "INVALID ENTRY"),
            # The unit's store: the terminal's own, not Disconnect's, so the link stays.
            ("3 0 0 0", "ITR: 0 UW: 00000000 (0.000000) LW: 00000000 (0.000000)"),
        ]:
            self.line(sel, typed)
            expected += typed + "\r\n" + answer + "\r\n"
            h.wait_for(lambda: self.text(sel) == expected, 10, "answer to " + typed)
        h.screenshot("terminal", dlg["rect"])
        # Only the four valid lines reached the unit.
        self.assertEqual(sim.count_cmd(1), 1)
        self.assertEqual(sim.count_cmd(0), 1)
        self.assertEqual(sim.count_cmd(4), 1)
        self.assertEqual(sim.count_cmd(3), 1)
        self.assertIn(" raw=4 ", sim.ctl("stats"))  # (the meter polls before the terminal opened are GETs)
        self.assertEqual(sim.ctl("get mem 0x90060004"), "0xDEADBEEF")
        h.key("Escape")  # Cancel closes the terminal
        h.wait_for(lambda: not h.dialogs(DIALOG), 5, "terminal closed")
        self.assertEqual(h.status_text(), "Connected")
        h.key("F3")  # the link is still up: Disconnect asks
        box = h.wait_for(lambda: [d for d in h.dialogs("QVR500") if h.control("hwnd:" + d["hwnd"], 1541)], 10,
                         "disconnect question")[0]
        h.click_control("hwnd:" + box["hwnd"], 1541)  # Do Not Save
        h.wait_for(lambda: h.status_text() == "Disconnected", 10, "disconnected")
        self.assertEqual(h.exit_program(app, "close"), 0)


if __name__ == "__main__":
    harness.main()
