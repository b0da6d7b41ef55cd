#!/usr/bin/env python3
"""The program at 144 dpi (150 %), started once with a simulated unit: the
window grown by its client-size rule, the response plot's grid and curves
filling their control, the meters' segments grown with the resolution, and
the editor scenarios of test_editor.py whose geometry is in pixels -- a Q
handle dragged from its centre onto the centre line, typing into fields, the
level trackbar from top to bottom, the Low crossover dragged past the left
edge -- each checked at the unit."""

import unittest

import harness
from harness import FRAME
from test_editor import Editor, grab

GRID = (80, 80, 80)
HIGH = (0, 255, 0)


class EditorAt144Dpi(Editor):
    dpi = 144

    def check_window(self):
        # 755 x 520 at 96 dpi; at 144: 1.5 * 755 + 1.5 * 144 = 1349 by 1.5 * 520 = 780, a few pixels more
        # because the frame has no sizing border.
        cw, ch = self.h.info(FRAME)["client"]
        self.assertTrue(1349 <= cw <= 1349 + 12, cw)
        self.assertTrue(780 <= ch <= 780 + 12, ch)

    def check_plot_filled(self):
        plot = self.ctl(209)
        px = grab(self.h, plot["rect"])
        height, width = len(px), len(px[0])
        # The drawing area's rows: 192 pixels at 96 dpi.
        area = [y for y in range(height) if px[y][width - 2] != px[0][0]]
        self.assertTrue(area, "no drawing area")
        self.assertTrue(abs(max(area) + 1 - self.px(192)) <= 1, max(area))
        # Vertical grid lines: columns mostly of the grid colour.  The last (20 kHz) stands as far from the
        # right edge as at 96 dpi, times 1.5 (8 pixels there with the form's font), not a third of the way in.
        lines = [x for x in range(width) if sum(1 for y in area if px[y][x] == GRID) > len(area) // 2]
        self.assertEqual(len(lines), 30, lines)
        self.assertLess(width - 1 - lines[-1], self.px(20), "20 kHz line at %d of %d" % (lines[-1], width))
        self.assertTrue(abs((lines[-1] - lines[0]) - self.px(22 * 29)) <= 2, lines)
        # The High curve ends on it.
        green = [x for y in area for x in range(width) if px[y][x] == HIGH]
        self.assertTrue(green, "no High curve")
        self.assertLessEqual(abs(max(green) - lines[-1]), 2, "High curve ends at %d" % max(green))

    def check_meters(self):
        h = self.h
        meters = h.meters()
        self.assertEqual(len(meters), 6)
        for m in meters:
            # Grown with the resolution: 57 pixels wide at 96 dpi, 67 high there (the menu bar and the
            # toolbar, whose buttons grow with the resolution).
            self.assertEqual(m["client"][0], self.px(57), m)
            self.assertGreaterEqual(m["client"][1], 67 * 1.25, m)
        for channel, db in ((0, -4.0), (1, -80.0), (2, 0.0), (3, -80.0), (4, -80.0), (5, 1.0)):
            self.sim.ctl("set level %d %s" % (channel, db))
        h.wait_for(lambda: h.meter_segments(meters[-1], self.dpi) == h.expected_segments(1.0), 10, "Subwoofer meter")
        self.assertEqual(h.meter_segments(meters[0], self.dpi), h.expected_segments(-4.0))
        self.assertEqual(h.meter_segments(meters[2], self.dpi), h.expected_segments(0.0))
        self.assertEqual(h.meter_segments(meters[1], self.dpi), h.expected_segments(-80.0))

    def test_window_plot_meters_and_editor_at_144_dpi(self):
        self.check_window()
        self.check_plot_filled()
        self.check_meters()
        self.h.screenshot("main-window-144dpi", self.h.info(FRAME)["rect"])
        # The editor scenarios in an order in which none disturbs the next (the Q drag counts the Low PEQ
        # gain's writes, which typing makes).
        self.test_dragging_a_q_handle_onto_its_centre_line()
        self.test_typing_1500_into_high_peq_freq()
        self.test_level_trackbar_from_top_to_bottom()
        self.test_dragging_low_lp_to_the_far_left()


def load_tests(loader, tests, pattern):
    # Only the case above: the scenarios inherited from Editor run inside it, on one program start.
    return unittest.TestSuite([EditorAt144Dpi("test_window_plot_meters_and_editor_at_144_dpi")])


if __name__ == "__main__":
    harness.main()
