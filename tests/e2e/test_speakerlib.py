#!/usr/bin/env python3
"""Speaker presets and Copy Channel in the real program with a simulated unit
(qvr500-sim over TCP), driven with xdotool: a three-band preset chosen for
Left and ticked for Left, Center and Right reaches exactly those channels;
Cancel sends nothing; the list holds only presets of the channel's band
count; a harmful preset and a missing library; Copy Channel sends exactly
the values that differ plus the band gains the copy forces; a unit without
Left Center and Right Center outputs.  Every case checks what the unit
received; "nothing was sent" is proven with a fence (a Mute click whose
write must be the only request after the action).

Each test runs a copy of QVR500.exe from a folder of its own, so that the
library next to it is the test's."""

import os
import re
import shutil
import struct
import tempfile

import harness
from harness import E2ETestCase

LIB_TITLE = "Speaker Library"
COPY_TITLE = "Copy Channel"

# Library keys and the parameter each sets on channels 0..4.
KEY_PARAMETERS = {"LBD": 28, "MBD": 20, "HBD": 11, "LBLP": 23, "MBLP": 15, "MBHP": 14, "HBHP": 2,
                  "LBPF": 24, "LBPG": 26, "LBPQ": 25, "MBPF": 16, "MBPG": 18, "MBPQ": 17,
                  "HBPF": 3, "HBPG": 5, "HBPQ": 4, "SEF": 8, "SEG": 9, "HEF": 6, "HEG": 7, "HPF": 0, "HPQ": 1}
# Band gains: the Triamp outputs (bank, index) of Low, Mid and High.
OUTPUTS = {0: {"LBG": (2, 0), "MBG": (0, 0), "HBG": (0, 2)},
           1: {"LBG": (2, 1), "MBG": (0, 1), "HBG": (0, 3)},
           2: {"LBG": (1, 1), "MBG": (1, 2), "HBG": (1, 0)},
           3: {"LBG": (2, 2), "MBG": (3, 0), "HBG": (3, 2)},
           4: {"LBG": (2, 3), "MBG": (3, 1), "HBG": (3, 3)},
           5: {"LBG": (1, 3)}}
OUTPUT_CHANNEL = {bi: c for c, m in OUTPUTS.items() for bi in m.values()}
CHANNEL_BUTTON = {0: 201, 3: 202, 2: 203, 4: 204, 1: 205}
LOW_MUTE = 225
HIGH_MUTE = 255
MUTE_BIT = 0x10000
# Two presets whose names share their first 31 characters.
LONG_NAMES = ["Screen Array Model 4000 Series Hi", "Screen Array Model 4000 Series Lo"]


def parse_library(path):
    """The shipped library as {section: {key: float text}} in file order."""
    with open(path, "rb") as f:
        text = f.read().decode("utf-16")
    out, cur = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("["):
            cur = out.setdefault(line[1:line.index("]")], {})
        elif "=" in line and cur is not None and not line.startswith(";"):
            k, v = line.split("=", 1)
            cur[k.strip()] = v.strip()
    return out


def f32(x):
    return struct.unpack("<f", struct.pack("<f", float(x)))[0]


def write_library(path, text):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


class Presets(E2ETestCase):
    need_sim = True

    def setUp(self):
        super().setUp()
        h = self.h
        # The program runs from a folder of its own with the test's library.
        self.folder = tempfile.mkdtemp(prefix="qvr-presets-", dir=h.artifacts)
        self.addCleanup(shutil.rmtree, self.folder, True)
        shutil.copy(h.paths.program, self.folder)
        self.library = os.path.join(self.folder, "speakerlib.ini")
        shutil.copy(os.path.join(h.paths.source, "speakerlib", "speakerlib.ini"), self.library)
        h.paths.program = os.path.join(self.folder, "QVR500.exe")
        self.presets = parse_library(self.library)

    def start_connected(self, *sim_args, setup=None):
        h = self.h
        self.sim = h.start_sim("--instant", *sim_args)
        if setup:
            setup(self.sim)
        self.start(self.sim.device_entry())
        h.activate()
        h.connect()
        self.form = h.form()

    # -- the windows -------------------------------------------------------------

    def ctl(self, cid, window=None):
        return self.h.info("hwnd:" + (window or self.form), cid)

    def click(self, cid, window=None):
        self.h.click_rect(self.ctl(cid, window)["rect"])

    def open_dialog(self, title, how):
        how()
        dlg = self.h.wait_for(lambda: self.h.dialogs(title), 10, title)[0]
        return dlg["hwnd"]

    def closed(self, title):
        self.h.wait_for(lambda: not self.h.dialogs(title), 10, title + " closed")

    def open_library(self):
        return self.open_dialog(LIB_TITLE, lambda: self.click(236))

    def open_copy(self):
        def keys():
            self.h.activate()
            self.h.key("ctrl+shift+c")
        return self.open_dialog(COPY_TITLE, keys)

    def items(self, dlg):
        return [i["text"] for i in self.h.probe("combo", "hwnd:" + dlg, 311)["items"]]

    def choose(self, dlg, index):
        """Opens the list with a click and picks an item with the keys, as a person would."""
        h = self.h
        current = h.probe("combo", "hwnd:" + dlg, 311)["selected"]
        self.click(311, dlg)
        steps = index - current
        for _ in range(abs(steps)):
            h.key("Down" if steps > 0 else "Up")
        h.key("Return")
        h.wait_for(lambda: h.probe("combo", "hwnd:" + dlg, 311)["selected"] == index, 5, "item %d" % index)

    # -- the unit ----------------------------------------------------------------

    def requests(self):
        """The unit's log since the last clearlog: ("SET", c, p, value) and ("RAW", cmd, u, l)."""
        reply = self.sim.ctl("log 5000")
        out = []
        for entry in reply.split(" | "):
            m = re.search(r"SET c=(\d+) p=(\d+) v=0x([0-9A-Fa-f]+)", entry)
            if m:
                bits = int(m.group(3), 16)
                out.append(("SET", int(m.group(1)), int(m.group(2)), struct.unpack("<f", struct.pack("<I", bits))[0]))
                continue
            m = re.search(r"RAW cmd=(\d+) iter=(\S+) u=(\S+) l=(\S+)", entry)
            if m:
                out.append(("RAW", int(m.group(1)), int(m.group(3), 0), int(m.group(4), 0)))
                continue
            m = re.search(r"GET c=(\d+) p=(\d+)", entry)
            if m:
                out.append(("GET", int(m.group(1)), int(m.group(2))))
        return out

    @staticmethod
    def bits_float(reply):
        """The value of a "0xHHHHHHHH float" reply, exactly."""
        return struct.unpack("<f", struct.pack("<I", int(reply.split()[0], 16)))[0]

    def param(self, c, p):
        return self.bits_float(self.sim.ctl("get param %d %d" % (c, p)))

    def flags(self, c, p):
        return int(self.sim.ctl("get param %d %d" % (c, p)).split()[0], 16)

    def output(self, bank, index):
        return self.bits_float(self.sim.ctl("get output %d %d" % (bank, index)))

    @staticmethod
    def meter(request):
        """A read of an input level: the meters poll while the link is idle."""
        return request[0] == "GET" and request[2] == 12

    def fence(self):
        """Toggles Left's Low Mute twice and waits for both writes: every
        request of an earlier action has reached the unit by then."""
        before = int(self.sim.ctl("count set 0 30"))
        self.click(201)
        self.click(LOW_MUTE)
        self.click(LOW_MUTE)
        self.h.wait_for(lambda: int(self.sim.ctl("count set 0 30")) == before + 2, 10, "fence")

    def assert_only_fence(self):
        self.fence()
        others = [r for r in self.requests() if not (r[0] == "SET" and r[1:3] == (0, 30)) and not self.meter(r)]
        self.assertEqual(others, [], "requests besides the fence")

    def text_memory_names(self):
        words = [int(w, 16) for w in self.sim.ctl("get mem 0x90060000 21").split()]
        names = []
        if words[0] != 1:
            return words[0], names  # never written
        for section in range(5, 10):
            address, length = words[2 * section - 1], words[2 * section]
            data = [int(w, 16) for w in self.sim.ctl("get mem %d %d" % (address, (length + 1) // 2)).split()] \
                if length else []
            units = []
            for w in data:
                units += [w & 0xFFFF, w >> 16]
            names.append("".join(chr(u) for u in units[:length]))
        return words[0], names

    # -- the cases ---------------------------------------------------------------

    def test_three_band_preset_for_left_center_and_right(self):
        # Center has a level and a channel delay of its own, and the shown
        # channel (Left) a muted High band: a preset carries none of them.
        self.start_connected(setup=lambda sim: (sim.ctl("set param 2 31 -3"), sim.ctl("set param 2 29 1.5")))
        h = self.h
        self.click(201)  # Left
        self.click(HIGH_MUTE)
        h.wait_for(lambda: self.flags(0, 13) & MUTE_BIT, 10, "Left's High band muted")
        three = [n for n, keys in self.presets.items() if keys.get("Bands", "2") == "3"]
        name = three[1]
        preset = self.presets[name]
        self.sim.ctl("clearlog")
        dlg = self.open_library()
        # Only the channel's band count, in file order, the first selected.
        self.assertEqual(self.items(dlg), three)
        self.assertEqual(h.probe("combo", "hwnd:" + dlg, 311)["selected"], 0)
        self.assertEqual(self.ctl(201, dlg)["checked"], 1)
        for cid in (202, 203, 204, 205):
            self.assertEqual(self.ctl(cid, dlg)["checked"], 0)
            self.assertTrue(self.ctl(cid, dlg)["enabled"])
        self.assertFalse(self.ctl(283, dlg)["enabled"])  # Custom
        self.choose(dlg, 1)
        self.click(203, dlg)
        self.click(205, dlg)
        self.click(1, dlg)
        self.closed(LIB_TITLE)
        h.wait_for(lambda: self.ctl(236)["text"] == name, 10, "speaker button shows the preset")
        self.fence()

        # Exactly the preset's values, on the ticked channels only.
        sets = [r for r in self.requests() if r[0] == "SET" and r[1:3] != (0, 30)]
        raws = [r for r in self.requests() if r[0] == "RAW"]
        self.assertTrue(sets)
        by_parameter = {p: f32(preset[k]) for k, p in KEY_PARAMETERS.items() if k in preset}
        for _, c, p, v in sets:
            self.assertIn(c, (0, 1, 2), "SET to channel %d" % c)
            self.assertIn(p, by_parameter, "parameter %d is no key of the preset" % p)
            self.assertEqual(v, by_parameter[p], "parameter %d" % p)
        levels = {0: 0.0, 1: 0.0, 2: -3.0}
        for c in (0, 1, 2):
            for p, v in by_parameter.items():
                self.assertEqual(self.param(c, p), v, "channel %d parameter %d" % (c, p))
            for key, (bank, index) in OUTPUTS[c].items():
                # Each band's gain goes out with the channel's own level.
                self.assertEqual(self.output(bank, index), f32(f32(f32(preset[key]) + levels[c]) - 8.0),
                                 "channel %d %s" % (c, key))
            self.assertEqual(self.param(c, 31), levels[c], "channel %d keeps its level" % c)
            self.assertEqual(bool(self.flags(c, 13) & MUTE_BIT), c == 0, "channel %d High Mute" % c)
        self.assertEqual(self.param(2, 29), 1.5, "Center keeps its channel delay")
        for _, cmd, u, _ in raws:
            self.assertIn(cmd, (4, 6, 7), "raw command %d" % cmd)
            if cmd == 7:
                self.assertIn(OUTPUT_CHANNEL[(u & 0xFF, u >> 8)], (0, 1, 2))
        for c in (3, 4, 5):
            self.assertFalse([r for r in sets if r[1] == c])
        self.assertEqual(self.ctl(211)["text"], "%.0f" % float(preset["LBLP"]))

        # The unit's text memory holds the new speaker names (the text memory sync's writes).
        marker, names = self.text_memory_names()
        self.assertEqual(marker, 1, "the unit's text memory was not written")
        self.assertEqual(names, [name, name, name, "DEFAULT Triamp", "DEFAULT Triamp"])

    def test_cancel_sends_nothing_and_a_harmful_preset_cannot_be_chosen(self):
        write_library(self.library,
                      "[Good 3W]\r\nBands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1400\r\nHBHP=1400\r\nHPF=35\r\nHPQ=0.707\r\n"
                      "[No HF Crossover]\r\nBands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1400\r\nHPF=35\r\nHPQ=0.707\r\n"
                      "[Two Band]\r\nBands=2\r\nLBLP=1200\r\nHBHP=1200\r\nHPF=30\r\nHPQ=2\r\n"
                      + "".join("[%s]\r\nBands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1400\r\nHBHP=1400\r\nHPF=35\r\n"
                                "HPQ=0.707\r\n" % n for n in LONG_NAMES))
        self.start_connected()
        h = self.h
        self.sim.ctl("clearlog")
        dlg = self.open_library()
        self.assertEqual(self.items(dlg), ["Good 3W", "No HF Crossover"] + LONG_NAMES)
        # Two names a channel keeps alike (31 characters): the second cannot be chosen.
        self.choose(dlg, 3)
        h.wait_for(lambda: self.ctl(313, dlg)["text"] == 'Cannot be used: cut to the 31 characters a channel keeps, '
                   'its name is that of "%s".' % LONG_NAMES[0], 5, "note on the second long name")
        self.assertFalse(self.ctl(1, dlg)["enabled"])
        self.choose(dlg, 2)
        h.wait_for(lambda: self.ctl(1, dlg)["enabled"], 5, "the first long name can be chosen")
        self.choose(dlg, 0)
        # The list has the focus; Down picks the next preset without opening it.
        h.activate(h.info("hwnd:" + dlg))
        h.key("Down")
        h.wait_for(lambda: self.ctl(313, dlg)["text"] == '"No HF Crossover" cannot be used: HBHP is missing.', 5,
                   "note")
        self.assertFalse(self.ctl(1, dlg)["enabled"])
        self.click(201, dlg)
        self.click(1, dlg)        # disabled: nothing happens
        h.key("Return")           # nor with the key
        self.assertTrue(h.dialogs(LIB_TITLE))
        self.choose(dlg, 0)
        h.wait_for(lambda: self.ctl(1, dlg)["enabled"], 5, "OK enabled")
        self.click(2, dlg)        # Cancel
        self.closed(LIB_TITLE)
        self.assert_only_fence()
        self.assertEqual(self.ctl(236)["text"], "DEFAULT Triamp")

        # A missing library: an empty list, the file named, OK changes nothing.
        os.remove(self.library)
        self.sim.ctl("clearlog")
        dlg = self.open_library()
        self.assertEqual(self.items(dlg), [])
        self.assertEqual(self.ctl(313, dlg)["text"],
                         "speakerlib.ini was not found in the program's folder: no presets to choose from.")
        self.assertTrue(self.ctl(312, dlg)["text"].startswith("Library: "))
        self.click(205, dlg)
        self.click(1, dlg)
        self.closed(LIB_TITLE)
        self.assert_only_fence()

    def test_copy_left_to_right_and_right_center(self):
        self.start_connected()
        h = self.h
        # Left gets a preset of its own (one channel only), Right an edit.
        self.click(201)
        three = [n for n, keys in self.presets.items() if keys.get("Bands", "2") == "3"]
        dlg = self.open_library()
        self.choose(dlg, 3)
        self.click(1, dlg)
        self.closed(LIB_TITLE)
        h.wait_for(lambda: self.ctl(236)["text"] == three[3], 10, "Left's speaker")
        self.fence()
        before = {c: {p: self.param(c, p) for p in KEY_PARAMETERS.values()} for c in (0, 1, 4)}

        self.sim.ctl("clearlog")
        dlg = self.open_copy()
        self.assertEqual(self.ctl(1100, dlg)["checked"], 1)  # the channel on show
        for cid in (1025, 1026, 1027, 1028, 1030):
            self.assertEqual(self.ctl(cid, dlg)["checked"], 0)
            self.assertTrue(self.ctl(cid, dlg)["enabled"])
        self.click(1026, dlg)
        self.click(1030, dlg)
        self.click(1, dlg)
        self.closed(COPY_TITLE)
        self.fence()
        sets = [r for r in self.requests() if r[0] == "SET" and r[1:3] != (0, 30)]
        expected = sorted((c, p, before[0][p]) for c in (1, 4) for p in KEY_PARAMETERS.values()
                          if before[c][p] != before[0][p])
        self.assertTrue(expected)
        self.assertEqual(sorted((c, p, v) for _, c, p, v in sets), expected)
        outputs = sorted(OUTPUT_CHANNEL[(u & 0xFF, u >> 8)] for r in self.requests() if r[0] == "RAW"
                         for _, cmd, u, _ in [r] if cmd == 7)
        self.assertEqual(outputs, [1, 1, 1, 4, 4, 4])  # the gains the copy forces
        for key, (bank, index) in OUTPUTS[1].items():
            self.assertEqual(self.output(bank, index), self.output(*OUTPUTS[0][key]))

        # Right now shows Left's speaker.
        self.click(205)
        h.wait_for(lambda: self.ctl(236)["text"] == three[3], 10, "Right shows Left's speaker")

        # Cancel changes nothing.
        self.sim.ctl("clearlog")
        dlg = self.open_copy()
        self.click(1027, dlg)
        self.click(2, dlg)
        self.closed(COPY_TITLE)
        self.assert_only_fence()

    def test_a_unit_without_left_center_and_right_center(self):
        self.start_connected("--no-lcr")
        dlg = self.open_library()
        for cid, enabled in ((201, True), (202, False), (203, True), (204, False), (205, True)):
            self.assertEqual(bool(self.ctl(cid, dlg)["enabled"]), enabled, cid)
        self.assertEqual(self.ctl(203, dlg)["checked"], 1)  # Center on show
        self.click(2, dlg)
        self.closed(LIB_TITLE)
        dlg = self.open_copy()
        for cid, enabled in ((1100, True), (1103, False), (1102, True), (1105, False), (1101, True),
                             (1025, True), (1028, False), (1027, True), (1030, False), (1026, True)):
            self.assertEqual(bool(self.ctl(cid, dlg)["enabled"]), enabled, cid)
        self.assertEqual(self.ctl(1102, dlg)["checked"], 1)
        self.click(2, dlg)
        self.closed(COPY_TITLE)


if __name__ == "__main__":
    harness.main()
