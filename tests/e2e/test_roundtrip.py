#!/usr/bin/env python3
"""The configuration round trip with qvr500-sim in its own process: after
Connect the program holds what the unit holds (every field of every channel,
in Triamp and in Biamp, the output gains, the profile texts and the speaker
names), checked through a file written by Save As; broken text directories
still end the wait box; Open, Save, Save As and New with what the unit
receives counted; refused and failed files; the Profile Information dialog
and the text memory it writes."""

import os
import struct
import subprocess
import time

import harness
import roundtrip as rt
from harness import FRAME, E2ETestCase

ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_PROFILE_INFO = 32773, 32774, 32775, 32776, 32785
ID_SYSTEM_MUTE = 32781
ID_SELECT_DEVICE = 32777
ID_DOWNLOAD_FIRMWARE, ID_DIAGNOSTICS = 32771, 32783
IDC_SPEAKER = 236
IDC_LOW_LP_FREQ = 211
CENTER_LOW_LP = (2, 23)  # Center's Low LP frequency: channel, parameter
IDC_HIGH_HP_FREQ = 224
CENTER_HIGH_HP = (2, 2)
IDC_COPY_FROM_LEFT, IDC_COPY_TO_CENTER = 1100, 1027
PROFILE_IDS = (1366, 1367, 1368, 1394)

TEXTS = ["Odeon Refit", "Grand Theatre", "7", "Two-way screen set-up\r\nchecked",
         "Left Main", "Right 2", "Centre Cluster \u00e9", "LC", "RCR"]  # odd and even lengths, one non-ASCII


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def winpath(path):
    return "Z:" + path.replace("/", "\\")


class RoundTrip(E2ETestCase):
    need_sim = True

    # -- the unit ------------------------------------------------------------------

    def load_unit(self, sim, mode):
        """Every channel different, output gains, flags of the mode, the texts."""
        for c in range(6):
            for f, (name, p) in enumerate(rt.FIELDS):
                if p is None:
                    continue
                if name.startswith("m_dw"):
                    value = "0x%08x" % ((0x10000 if c & 1 else 0) | (0x20000 if c & 2 else 0) | (f << 8))
                elif name == "m_fltLevel":
                    value = "%g" % (-1.5 - 0.5 * c)
                elif name == "m_fltHPQ":
                    value = "2" if c % 2 else "0.707"
                elif "Freq" in name:
                    value = "%g" % (100 + 37 * f + 11 * c)
                elif "Q" in name:
                    value = "%g" % (0.5 + 0.25 * c)
                else:  # gains and delays
                    value = "%g" % (0.25 * f - 1.0 + 0.5 * c)
                if c == 5 and name not in rt.SUBWOOFER:
                    continue
                sim.ctl("set param %d %d %s" % (c, rt.SUBWOOFER.get(name, p) if c == 5 else p, value))
        for (b, i) in rt.OUTPUTS:
            sim.ctl("set output %d %d %g" % (b, i, -9.0 + 0.5 * (4 * b + i)))
        sim.ctl("set flags 0x%08x" % (0x00A50000 | (4 if mode == 2 else 0)))
        for addr, word in rt.text_memory(TEXTS):
            sim.ctl("set mem 0x%08x 0x%08x" % (addr, word))

    def unit_param(self, sim, c, p):
        return int(sim.ctl("get param %d %d" % (c, p)).split()[0], 16)

    def unit_output(self, sim, b, i):
        return rt.from_bits(int(sim.ctl("get output %d %d" % (b, i)).split()[0], 16))

    def unit_words(self, sim, addr, count):
        return [int(w, 16) for w in sim.ctl("get mem 0x%08x %d" % (addr, count)).split()]

    def count(self, sim, what):
        return int(sim.ctl("count " + what))

    def stats(self, sim):
        return {k: int(v) for k, v in (kv.split("=") for kv in sim.ctl("stats").split()) if v.isdigit()}

    def fence(self, sim):
        """A request the program makes after what went before: System Mute on
        and off (two reads and two writes of the flags).  Once the unit has
        them, everything sent before them has arrived."""
        before = self.count(sim, "cmd 11")
        self.h.command(ID_SYSTEM_MUTE)
        self.h.command(ID_SYSTEM_MUTE)
        self.assertEventually(lambda: self.count(sim, "cmd 11") >= before + 4, 20, "fence at the unit")

    # -- the program ---------------------------------------------------------------

    def start_connected(self, *sim_args, setup=None):
        self.sim = self.h.start_sim(*sim_args)
        if setup:
            setup(self.sim)
        self.app = self.start(self.sim.device_entry())
        self.h.activate()
        self.connect()
        return self.sim

    def connect(self):
        self.h.connect()

    def form(self):
        return self.h.form()

    def field_text(self, cid):
        return self.h.info("hwnd:" + self.form(), cid)["text"]

    def type_field(self, cid, text, sim, channel_parameter):
        """Types a value into a field of the shown channel as a user would and
        waits until the unit holds it."""
        h = self.h
        h.click_rect(h.info("hwnd:" + self.form(), cid)["rect"])
        h.key("End", "shift+Home", "BackSpace")
        h.type(text)
        self.assertEventually(lambda: rt.from_bits(self.unit_param(sim, *channel_parameter)) == float(text), 10,
                              "%s at the unit" % text)

    def edit_then_open_brings_the_unit_back(self, sim, command, path):
        """An edit of the shown channel that the file does not hold: after the
        command (Open or New of path) the screen and the unit hold the file's
        value, and every other value of the file is at the unit too."""
        self.type_field(IDC_LOW_LP_FREQ, "400", sim, CENTER_LOW_LP)
        self.file_dialog(command, path)
        self.assertEventually(lambda: os.path.exists(path), 10, "file there")
        self.fence(sim)
        with open(path, "rb") as f:
            lp = rt.from_bits(rt.parse_file(f.read())[2]["bits"]["m_fltLowLPFreq"])
        self.assertNotEqual(lp, 400.0)
        self.assertEqual(self.field_text(IDC_LOW_LP_FREQ), "%.0f" % lp)
        self.assertEqual(rt.from_bits(self.unit_param(sim, *CENTER_LOW_LP)), lp)

    def speaker_text(self):
        return self.h.info("hwnd:" + self.form(), IDC_SPEAKER)["text"]

    def file_dialog(self, command, path, confirm_overwrite=False):
        """Runs a File command and answers its file dialog with a full path."""
        h = self.h
        h.command(command)
        title = "Open" if command == ID_FILE_OPEN else "Save As"
        dlg = h.wait_for(lambda: h.dialogs(title), 15, "%s dialog" % title)[0]
        h.activate(dlg)
        h.type(winpath(path))
        h.key("Return")
        if confirm_overwrite:
            box = h.wait_for(lambda: [d for d in h.dialogs() if d["text"] != title and d["text"] != "QVR500"
                                      and d["text"]], 10, "overwrite question")[0]
            h.activate(box)
            h.key("Return")  # Yes is the default
        h.wait_for(lambda: not h.dialogs(title), 15, "%s dialog gone" % title)

    def profile_texts(self):
        h = self.h
        h.command(ID_PROFILE_INFO)
        dlg = h.wait_for(lambda: h.dialogs("Profile Information"), 10, "profile dialog")[0]
        texts = [h.info("hwnd:" + dlg["hwnd"], i)["text"] for i in PROFILE_IDS]
        return dlg, texts

    def close_dialog(self, dlg, key="Escape"):
        h = self.h
        h.activate(dlg)
        h.key(key)
        h.wait_for(lambda: not h.dialogs(dlg["text"]), 10, "%s closed" % dlg["text"])

    def artifact(self, name):
        path = os.path.join(self.h.artifacts, name)
        if os.path.lexists(path):
            os.remove(path)
        return path

    # -- what the file must hold ---------------------------------------------------

    def check_file_holds_unit(self, path, sim, mode, names=True):
        with open(path, "rb") as f:
            records = rt.parse_file(f.read())
        for c, rec in enumerate(records):
            self.assertEqual(rec["channel"], c)
            level = rt.from_bits(rec["bits"]["m_fltLevel"])
            for name, p in rt.FIELDS:
                if c == 5:
                    p = rt.SUBWOOFER.get(name)
                if p is None or (mode == 2 and name in rt.MID_FIELDS):
                    continue
                self.assertEqual(rec["bits"][name], self.unit_param(sim, c, p), "channel %d %s" % (c, name))
            for (b, i), uses in rt.OUTPUTS.items():
                use = uses[1] if mode == 2 else uses[0]
                if use is None or use[0] != c:
                    continue  # not read in this mode
                expected = rt.bits(rt.shown_gain(self.unit_output(sim, b, i), level))
                self.assertEqual(rec["bits"]["m_flt%sGain" % use[1]], expected, "channel %d %s gain" % (c, use[1]))
            if names:
                self.assertEqual(rec["name"], TEXTS[4 + c] if c < 5 else "Subwoofer")

    def read_whole(self, mode):
        sim = self.start_connected(setup=lambda s: self.load_unit(s, mode))  # wire timing
        path = self.artifact("roundtrip-%d.qvr" % mode)
        self.file_dialog(ID_FILE_SAVE_AS, path)
        self.assertEventually(lambda: os.path.exists(path), 10, "file written")
        self.check_file_holds_unit(path, sim, mode)
        self.assertEqual(self.speaker_text(), TEXTS[6])
        dlg, texts = self.profile_texts()
        self.assertEqual(texts, TEXTS[:4])
        self.close_dialog(dlg)
        return sim, path

    # -- the tests -------------------------------------------------------------------

    def test_a_triamp_unit_is_read_whole_and_its_own_file_sends_nothing(self):
        sim, path = self.read_whole(3)
        h = self.h
        self.h.screenshot("roundtrip-triamp")
        # Open of the file just saved: every value is equal, nothing is sent.
        sim.ctl("clearlog")
        self.file_dialog(ID_FILE_OPEN, path)
        self.fence(sim)
        self.assertIsNone(h.message_box(), "no question about values the program holds already")
        self.assertEqual(self.stats(sim)["set"], 0, "no SET")
        for cmd in (4, 6, 7):
            self.assertEqual(self.count(sim, "cmd %d" % cmd), 0, "command %d" % cmd)

        with open(path, "rb") as f:
            own = f.read()
        offsets = {n: 68 + 4 * i for i, (n, _) in enumerate(rt.FIELDS)}
        def changed(name, changes):
            data = bytearray(own)
            for c, field, value in changes:
                struct.pack_into("<f", data, 16 + c * rt.RECORD_BYTES + offsets[field], value)
            changed_path = self.artifact(name)
            with open(changed_path, "wb") as f:
                f.write(data)
            return changed_path
        def answer(expected_lines, button):
            box, text = h.wait_for(h.message_box, 10, "message about the values")
            for line in expected_lines:
                self.assertIn(line, text)
            h.activate(box)
            if button == "Yes":
                h.click_rect(h.info("hwnd:" + box["hwnd"], 6)["rect"])  # IDYES
            else:
                h.key("Return")  # the default: No to the question, OK to the refusal
            h.wait_for(lambda: h.message_box() is None, 10, "message closed")
            return text
        def nothing_sent():
            self.fence(sim)
            self.assertEqual(self.stats(sim)["set"], 0, "no SET")
            for cmd in (4, 6, 7):
                self.assertEqual(self.count(sim, "cmd %d" % cmd), 0, "command %d" % cmd)

        # A damaged file: values that are no numbers refuse it whole, each named by
        # channel and field (a value merely outside the ranges is not the reason).
        damaged = changed("roundtrip-damaged.qvr", [(2, "m_fltHighGain", float("nan")),
                                                     (4, "m_fltLowPEQGain", float("-inf")),
                                                     (0, "m_fltHPFreq", 1e30)])
        sim.ctl("clearlog")
        self.file_dialog(ID_FILE_OPEN, damaged)
        text = answer(["This file was not loaded", "Center: High Gain is NaN", "Right Center: Low PEQ Gain is -inf"],
                      "OK")
        self.assertNotIn("HP Freq.", text)
        nothing_sent()

        # A file that differs in three values, one of them (Left's HP frequency)
        # outside the editor's range: it opens only after a Yes to a question
        # naming that value.  No, the default, sends nothing.
        differs = changed("roundtrip-differs.qvr", [
            (0, "m_fltHPFreq", 45.0), (2, "m_fltLowDelay", 1.25),
            (1, "m_fltHighGain", rt.from_bits(struct.unpack_from("<I", own, 16 + rt.RECORD_BYTES + 68 + 4 * 27)[0]) + 1.5)])
        sim.ctl("clearlog")
        self.file_dialog(ID_FILE_OPEN, differs)
        text = answer(["outside the ranges that the editor accepts in Triamp",
                       "Left: HP Freq. is 45 (the editor takes 20 to 40 Hz)"], "No")
        self.assertNotIn("Low Delay", text)  # 1.25 ms is a value the editor takes
        nothing_sent()
        self.file_dialog(ID_FILE_OPEN, differs)
        answer(["Left: HP Freq. is 45"], "Yes")
        self.fence(sim)
        stats = self.stats(sim)
        self.assertEqual(stats["set"], 2)
        self.assertEqual(self.count(sim, "set 0 0"), 1)
        self.assertEqual(self.count(sim, "set 2 28"), 1)
        self.assertEqual(self.count(sim, "cmd 7"), 1)  # Right's High band output
        self.assertAlmostEqual(rt.from_bits(self.unit_param(sim, 0, 0)), 45.0)
        for cmd in (4, 6):
            self.assertEqual(self.count(sim, "cmd %d" % cmd), 0, "the texts are the unit's already")

        # Center (shown) edited, then the file opened again: the edit is gone
        # from the screen and from the unit; the unit holds the whole file.
        self.edit_then_open_brings_the_unit_back(sim, ID_FILE_OPEN, differs)
        self.check_file_holds_unit(differs, sim, 3)

    def test_b_biamp_unit_is_read_whole(self):
        self.read_whole(2)
        self.h.screenshot("roundtrip-biamp")

    def test_c_broken_text_directories_still_end_the_wait_box(self):
        sim = self.h.start_sim("--instant")
        self.app = self.start(sim.device_entry())
        self.h.activate()
        h = self.h
        dir_word = lambda n: rt.TEXT_START + 4 * n
        base = rt.text_memory(TEXTS)
        cases = [
            ("comments longer than the buffer", {8: 400}, TEXTS[6]),
            ("a name outside the text memory", {13: 0x90070000}, "DEFAULT Triamp"),
            ("a name in the program area", {13: 0x90000000}, "DEFAULT Triamp"),
            ("end address before the names", {19: dict(base)[dir_word(9)]}, "DEFAULT Triamp"),
            ("word 0 neither written nor erased", {0: 5}, "DEFAULT Triamp"),
            ("every section empty", {n: 0 for n in range(1, 19)}, "Unknown"),
        ]
        for what, patch, centre_name in cases:
            with self.subTest(what):
                sim.ctl("factoryreset")
                for addr, word in base:
                    sim.ctl("set mem 0x%08x 0x%08x" % (addr, word))
                for n, value in patch.items():
                    sim.ctl("set mem 0x%08x 0x%08x" % (dir_word(n), value))
                if what == "every section empty":
                    sim.ctl("set mem 0x%08x 0x%08x" % (dir_word(19), rt.TEXT_AREA))
                self.connect()
                self.assertEqual(self.speaker_text(), centre_name)
                # The unit never refused a read (a read outside its memory is refused).
                self.assertEqual(self.stats(sim)["nack"], 0)
                h.key("F3")
                for d in h.wait_for(lambda: h.dialogs("QVR500"), 10, "disconnect question"):
                    if h.control("hwnd:" + d["hwnd"], 1541):
                        h.click_rect(h.info("hwnd:" + d["hwnd"], 1541)["rect"])
                h.wait_for(lambda: h.status_text() == "Disconnected", 10, "disconnected")
                # The next unit starts afresh: the program's names back to what the last read left.
                self.exit_and_restart(sim)

    def exit_and_restart(self, sim):
        self.h.exit_program(self.app)
        self.app = self.start(sim.device_entry())
        self.h.activate()

    def test_d_new_refused_open_and_failed_save(self):
        sim = self.start_connected("--instant")
        h = self.h
        # New writes the factory defaults (as qvrtool new does) and shows them;
        # an edit of the shown channel goes back to its default at the unit too.
        new = self.artifact("roundtrip-new.qvr")
        self.edit_then_open_brings_the_unit_back(sim, ID_FILE_NEW, new)
        self.check_file_holds_unit(new, sim, 3, names=False)
        reference = self.artifact("roundtrip-reference.qvr")
        subprocess.run([os.path.join(h.paths.native, "tools", "qvrtool", "qvrtool"), "new", reference], check=True)
        self.assertEqual(read_bytes(new), read_bytes(reference))
        dlg, texts = self.profile_texts()
        self.assertEqual(texts[0], "* FACTORY DEFAULTS *")
        self.close_dialog(dlg)

        # A refused Open names the file and the reason and keeps the current path.
        junk = self.artifact("roundtrip-junk.qvr")
        with open(junk, "wb") as f:
            f.write(b"this is not a configuration" * 50)
        short = self.artifact("roundtrip-short.qvr")
        with open(new, "rb") as f:
            head = f.read(600)
        with open(short, "wb") as f:
            f.write(head)
        for path, reason in ((junk, "not a QVR Configuration File"), (short, "It holds 600 bytes")):
            self.file_dialog(ID_FILE_OPEN, path)
            box, text = h.wait_for(h.message_box, 10, "refusal")
            self.assertIn(winpath(path), text)
            self.assertIn(reason, text)
            h.activate(box)
            h.key("Return")
            h.wait_for(lambda: h.message_box() is None, 10, "refusal closed")
        st = os.stat(new)
        before = (st.st_ino, st.st_mtime_ns)
        junk_bytes = read_bytes(junk)
        h.command(ID_FILE_SAVE)  # still the new file, never the refused one
        # A save writes a new file and puts it in place: a new inode, whatever the clock's grain.
        # (Wine's replacement is not atomic: the file may be missing for a moment.)
        self.assertEventually(lambda: os.path.exists(new) and (os.stat(new).st_ino, os.stat(new).st_mtime_ns) != before,
                              10, "saved to the current file")
        self.assertEqual(read_bytes(junk), junk_bytes)

        # A Save that cannot replace the file (another program holds it open)
        # says so and leaves the old file as it was.
        old_bytes = read_bytes(new)
        files_before = sorted(os.listdir(h.artifacts))
        holder = subprocess.Popen(["wine", h.paths.uiprobe, "hold", winpath(new)], env=h.env,
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            self.assertIn('"held":true', holder.stdout.readline())
            h.command(ID_FILE_SAVE)
            box, text = h.wait_for(h.message_box, 10, "save failure")
            self.assertIn("could not be saved", text)
            self.assertIn("has not been changed", text)
            h.activate(box)
            h.key("Return")
        finally:
            holder.stdin.write("\n")
            holder.stdin.close()
            holder.wait(30)
            holder.stdout.close()
        self.assertEqual(read_bytes(new), old_bytes)
        self.assertEqual([f for f in os.listdir(h.artifacts) if f not in files_before and not f.endswith((".png", ".log"))],
                         [], "nothing left behind")

        # Saved onto a link: the link stays and its target is replaced.
        target = self.artifact("roundtrip-target.qvr")
        link = self.artifact("roundtrip-link.qvr")
        with open(target, "wb") as f:
            f.write(b"old content")
        os.chmod(target, 0o640)
        os.symlink(os.path.basename(target), link)
        self.file_dialog(ID_FILE_SAVE_AS, link, confirm_overwrite=True)
        self.assertEventually(lambda: os.path.exists(target) and os.path.getsize(target) == rt.FILE_BYTES, 10,
                              "target written")
        self.assertTrue(os.path.islink(link))
        # (Windows keeps the replaced file's security and attributes; Wine's
        # replacement gives a Unix file the mode of a new one, so the mode is
        # not checked here.  The native tests check it for qvrtool.)

    def test_e_profile_dialog_writes_the_text_memory(self):
        sim = self.start_connected("--instant")  # erased text memory
        h = self.h
        dlg, texts = self.profile_texts()
        self.assertEqual(texts, ["* FACTORY DEFAULTS *", "", "", ""])
        comment = ("Screen 7, two-way: checked levels and delays at the mix position. " * 3)[:130]
        for cid, text in zip(PROFILE_IDS, ("Refit 2026", "Odeon", "12345", comment)):
            h.click_rect(h.info("hwnd:" + dlg["hwnd"], cid)["rect"])
            h.key("ctrl+a", "BackSpace")
            h.type(text)
        h.click_rect(h.info("hwnd:" + dlg["hwnd"], 1)["rect"])  # OK
        h.wait_for(lambda: not h.dialogs("Profile Information"), 10, "dialog closed")
        # The unit's text memory, word for word: the screen number cut to three,
        # the comment to 127 characters (64 words), the names the program holds.
        expected = rt.text_memory(["Refit 2026", "Odeon", "123", comment[:127]] + ["DEFAULT Triamp"] * 5)
        last_addr = expected[-1][0]
        self.assertEventually(lambda: self.unit_words(sim, rt.TEXT_START, 1)[0] == 1, 20, "directory written")
        words = self.unit_words(sim, rt.TEXT_START, (last_addr - rt.TEXT_START) // 4 + 2)
        got = {rt.TEXT_START + 4 * i: w for i, w in enumerate(words)}
        for addr, word in expected:
            self.assertEqual(got[addr], word, "word at 0x%08x" % addr)
        self.assertEqual(got[last_addr + 4], 0xFFFFFFFF)  # erased after the last text
        comments = dict(expected)[rt.TEXT_START + 4 * 7]
        self.assertEqual(dict(expected)[rt.TEXT_START + 4 * 8], 127)
        self.assertEqual(got[comments + 63 * 4] >> 16, 0)  # the 64th word's upper half
        dlg, texts = self.profile_texts()
        self.assertEqual(texts, ["Refit 2026", "Odeon", "123", comment[:127]])
        self.close_dialog(dlg)

        # With no link the dialog changes the program's profile only.
        h.key("F3")
        for d in h.wait_for(lambda: h.dialogs("QVR500"), 10, "disconnect question"):
            if h.control("hwnd:" + d["hwnd"], 1541):
                h.click_rect(h.info("hwnd:" + d["hwnd"], 1541)["rect"])
        h.wait_for(lambda: h.status_text() == "Disconnected", 10, "disconnected")
        requests = self.stats(sim)["requests"]
        dlg, _ = self.profile_texts()
        h.click_rect(h.info("hwnd:" + dlg["hwnd"], 1367)["rect"])
        h.key("ctrl+a", "BackSpace")
        h.type("Offline")
        h.click_rect(h.info("hwnd:" + dlg["hwnd"], 1)["rect"])
        h.wait_for(lambda: not h.dialogs("Profile Information"), 10, "dialog closed")
        dlg, texts = self.profile_texts()
        self.assertEqual(texts[1], "Offline")
        self.close_dialog(dlg)
        self.assertEqual(self.stats(sim)["requests"], requests)

    def test_f_disconnect_waits_for_the_read_back(self):
        sim = self.h.start_sim()
        for addr, word in rt.text_memory(TEXTS):
            sim.ctl("set mem 0x%08x 0x%08x" % (addr, word))
        self.app = self.start(sim.device_entry())
        h = self.h
        h.activate()
        # The unit is untrusted: a parameter that is not a number and an infinite output gain.
        sim.ctl("set param 0 0 0x7fc00000")  # Left's HP frequency: NaN
        sim.ctl("set output 0 3 0x7f800000")  # Right's High output: +infinity
        # Slow replies keep the wait box up; F3 meanwhile asks nothing and ends nothing.
        sim.ctl("delay 40 50")
        h.key("F2")
        h.wait_for(h.wait_box, 10, "wait box")
        # The form is held from the start: the speaker button opens nothing.
        h.click_rect(h.info("hwnd:" + self.form(), IDC_SPEAKER)["rect"])
        h.key("F3")
        h.command(32779)  # the command itself, as the menu would send it
        # Download Firmware and Diagnostics wait too (their replies would mix with the read-back's).
        h.command(ID_DOWNLOAD_FIRMWARE)
        h.command(ID_DIAGNOSTICS)
        h.wait_for(lambda: h.status_text() == "Connected", 30, "connected")
        self.assertIsNone(h.wait_box())
        self.assertEqual([d for d in h.dialogs("QVR500") if h.control("hwnd:" + d["hwnd"], 1541)], [])
        self.assertEqual(h.dialogs("Download Firmware") + h.dialogs("Terminal") + h.dialogs("Speaker Library"), [])
        # Once the screen shows the unit, the values not taken are named, with
        # the question whether to send the values shown (Yes, the default).
        box, text = h.wait_for(h.message_box, 10, "values not taken")
        self.assertIn("Left: HP Freq. (parameter 0): NaN", text)
        self.assertIn("Right: High Gain (output 0,3): inf", text)
        self.assertIn("Send the values shown to the unit?", text)
        self.assertEqual(len(text.strip().splitlines()), 5, text)
        h.screenshot("read-back-not-numbers", box["rect"])
        h.activate(box)
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 10, "message closed")
        # Yes wrote the values shown of exactly those two: the unit plays what the screen shows.
        self.assertEventually(lambda: self.count(sim, "set 0 0") == 1, 20, "Left's HP frequency sent")
        self.assertEventually(lambda: self.count(sim, "cmd 7") == 1, 20, "Right's High output sent")
        self.assertEqual(self.speaker_text(), TEXTS[6])

    def test_g_a_link_lost_during_the_read_back_puts_the_configuration_back(self):
        """The cable goes while the unit is read: the screen must not keep some
        of the unit's values beside the program's own (Save As would write
        that mixture).  The configuration from before Connect comes back, and
        the message says so."""
        sim = self.h.start_sim()  # wire timing
        self.load_unit(sim, 3)
        for addr, word in rt.text_memory(TEXTS):
            sim.ctl("set mem 0x%08x 0x%08x" % (addr, word))
        self.app = self.start(sim.device_entry())
        h = self.h
        h.activate()
        before = self.artifact("roundtrip-before-lost.qvr")
        self.file_dialog(ID_FILE_SAVE_AS, before)
        self.assertEventually(lambda: os.path.exists(before), 10, "file before Connect")
        sim.ctl("delay 300 15")  # slower replies: the read-back lasts long enough to pull the cable
        h.key("F2")
        h.wait_for(h.wait_box, 10, "wait box")
        # Past the text directory and Left, into the other channels.
        h.wait_for(lambda: self.stats(sim)["requests"] >= 80, 30, "part of the unit read", interval=0.05)
        sim.ctl("unplug")
        box, text = h.wait_for(h.message_box, 30, "message 524")
        self.assertEqual(text.replace("\r\n", "\n"), "Communication to active device has been lost.\n"
                         "The configuration shown before the unit was read has been put back.\n"
                         "For support, save what happened on the link with Help > Save Link Log... before closing "
                         "the program (the log is lost when the program ends).")
        h.screenshot("read-back-lost", box["rect"])
        h.activate(box)
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 10, "message closed")
        self.assertEqual(h.status_text(), "Disconnected")
        after = self.artifact("roundtrip-after-lost.qvr")
        self.file_dialog(ID_FILE_SAVE_AS, after)
        self.assertEventually(lambda: os.path.exists(after), 10, "file after the loss")
        self.assertEqual(read_bytes(after), read_bytes(before))

    def test_h_a_held_value_is_dropped_as_copy_channel_opens_and_save_writes_the_unit(self):
        """Center High HP 2500, then 1000 typed over it: held (more than an
        octave below).  Ctrl+Shift+C opens Copy Channel: the dialog taking the
        focus is no confirmation, so nothing is sent, the field shows 2500
        again and the status bar says the typed value was not applied.  Left
        copied onto Center: screen and unit agree, and Save As writes what the
        unit plays."""
        sim = self.start_connected("--instant")
        h = self.h
        self.type_field(IDC_HIGH_HP_FREQ, "2500", sim, CENTER_HIGH_HP)
        h.key("End", "shift+Home")
        h.type("1000")
        self.assertEventually(lambda: self.field_text(IDC_HIGH_HP_FREQ) == "1000", 5, "1000 typed")
        self.assertEventually(lambda: "Enter applies it" in h.status()["parts"][0]["text"], 5, "held")
        sets = self.count(sim, "set %d %d" % CENTER_HIGH_HP)
        h.key("ctrl+shift+c")
        copy = h.wait_for(lambda: h.dialogs("Copy Channel"), 10, "Copy Channel")[0]
        self.assertEqual(self.field_text(IDC_HIGH_HP_FREQ), "2500")
        self.assertIn("was not applied", h.status()["parts"][0]["text"])
        if os.environ.get("QVR_DOCS_SHOTS"):
            h.screenshot("editor-held-dropped", h.info(FRAME)["rect"],
                         os.path.join(h.paths.source, "docs", "editor-held-dropped.png"))
        for cid in (IDC_COPY_FROM_LEFT, IDC_COPY_TO_CENTER, 1):
            h.click_rect(h.info("hwnd:" + copy["hwnd"], cid)["rect"])
        h.wait_for(lambda: not h.dialogs("Copy Channel"), 10, "Copy Channel closed")
        self.fence(sim)
        left = rt.from_bits(self.unit_param(sim, 0, CENTER_HIGH_HP[1]))
        self.assertEqual(self.count(sim, "set %d %d" % CENTER_HIGH_HP), sets + (left != 2500.0),
                         "only Left's value was sent")
        played = rt.from_bits(self.unit_param(sim, *CENTER_HIGH_HP))
        self.assertEqual(played, left)
        self.assertEqual(self.field_text(IDC_HIGH_HP_FREQ), "%.0f" % played)
        path = self.artifact("roundtrip-held-dropped.qvr")
        self.file_dialog(ID_FILE_SAVE_AS, path)
        self.assertEventually(lambda: os.path.exists(path), 10, "file written")
        self.check_file_holds_unit(path, sim, 3, names=False)

    def test_i_every_dialog_of_the_frame_drops_a_held_value(self):
        """The frame's commands that open a window of their own, one after
        another over a held value: each drops it before its window takes the
        focus (nothing reaches the unit, the field shows the value in use
        again, the status bar says why)."""
        sim = self.start_connected("--instant")
        h = self.h
        self.type_field(IDC_HIGH_HP_FREQ, "2500", sim, CENTER_HIGH_HP)
        sets = self.count(sim, "set %d %d" % CENTER_HIGH_HP)
        rows = [(ID_FILE_NEW, "Save As"), (ID_FILE_OPEN, "Open"), (ID_FILE_SAVE_AS, "Save As"),
                (ID_FILE_SAVE, "Save As"),  # Untitled: Save asks for a name
                (ID_PROFILE_INFO, "Profile Information"), (ID_SELECT_DEVICE, "Select Device"),
                (ID_DIAGNOSTICS, "Terminal"), (ID_DOWNLOAD_FIRMWARE, "Download Firmware")]
        for command, title in rows:
            with self.subTest(title=title, command=command):
                h.click_rect(h.info("hwnd:" + self.form(), IDC_HIGH_HP_FREQ)["rect"])
                h.key("End", "shift+Home")
                h.type("1000")
                self.assertEventually(lambda: "Enter applies it" in h.status()["parts"][0]["text"], 5, "held")
                h.command(command)
                dlg = h.wait_for(lambda: h.dialogs(title), 15, title)[0]
                self.assertEqual(self.field_text(IDC_HIGH_HP_FREQ), "2500")
                self.assertIn("was not applied", h.status()["parts"][0]["text"])
                if command == ID_DOWNLOAD_FIRMWARE:  # no Cancel: its OK closes it
                    h.click_control("hwnd:" + dlg["hwnd"], 1)
                    h.wait_for(lambda: not h.dialogs(title), 10, "%s closed" % title)
                else:
                    self.close_dialog(dlg)
                self.fence(sim)
                self.assertEqual(self.count(sim, "set %d %d" % CENTER_HIGH_HP), sets)
                self.assertEqual(rt.from_bits(self.unit_param(sim, *CENTER_HIGH_HP)), 2500.0)


if __name__ == "__main__":
    import unittest
    unittest.main(verbosity=2)
