#!/usr/bin/env python3
"""qvrtool.exe over several units at once, under Wine against four
qvr500-sim processes, one of them unplugged: --all takes the device list and
never the machine's serial ports; pull writes one file per serial number and
reports the failing unit without stopping the others; push sends each unit
its own file and leaves alone a unit without one; diff tells which unit
differs; firmware updates every unit that answered and never starts on the
one that did not; report writes one report per unit and an index page; the
summary table, the per-unit logs and the exit codes say all of it."""

import json
import os
import re
import shutil
import subprocess
import tempfile

import harness
from harness import E2ETestCase
from test_firmware import image, wine_path

SERIALS = ["FA1", "FA2", "FA3", "FA4"]  # FA4 is unplugged


class Fleet(E2ETestCase):
    need_sim = True

    def setUp(self):
        super().setUp()
        self.tool_exe = os.path.join(self.h.paths.build, "tools", "qvrtool", "qvrtool.exe")
        self.native_tool = os.path.join(self.h.paths.native, "tools", "qvrtool", "qvrtool")
        self.dir = tempfile.mkdtemp(prefix="qvrtool-fleet-", dir=self.h.artifacts)
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.sims = [self.h.start_sim("--instant") for _ in SERIALS]
        self.devices = ";".join(s.device_entry("QVR500 USB", n) for s, n in zip(self.sims, SERIALS))
        for i, sim in enumerate(self.sims):
            sim.ctl("set param 0 31 %d" % -(i + 1))  # each unit its own Left level
        self.sims[3].ctl("unplug")

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def run_tool(self, *args):
        env = dict(self.h.env)
        env["QVR500_DEVICES"] = self.devices
        p = subprocess.run(["wine", self.tool_exe] + [wine_path(a) if a.startswith("/") else a for a in args],
                           env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
        return p.returncode, p.stdout.replace("\r\n", "\n"), p.stderr.replace("\r\n", "\n")

    def summary(self, out):
        """The summary table: serial -> result."""
        lines = out.split("\n")
        head = max(i for i, l in enumerate(lines) if l.startswith("unit ") and " result " in l)
        rows = {}
        for line in lines[head + 1:]:
            if line.strip():
                m = re.match(r"(\S+)\s+(.*?\S)\s{2,}(.*?)\s{2,}(\d+\.\d) s$", line)
                self.assertIsNotNone(m, line)
                rows[m.group(1)] = m.group(3)
        return rows

    def level(self, path):
        doc = json.loads(subprocess.run([self.native_tool, "dump", path, "--json"], capture_output=True, text=True,
                                        check=True).stdout)
        return doc["channels"][0]["m_fltLevel"]

    def requests(self, sim):
        return int(re.search(r"requests=(\d+)", sim.ctl("stats")).group(1))

    def test_pull_push_diff_firmware_report_over_four_units(self):
        self.h.set_serial_ports(33)  # a port of the machine: --all never sends to it
        backup = self.path("backup")
        logs = self.path("logs")

        # Which units, and nothing sent.
        rc, out, err = self.run_tool("pull", "--all", backup, "--dry-run")
        self.assertEqual(rc, 0, err)
        self.assertIn("Would read 4 units", out)
        self.assertNotIn("COM33", out)
        self.assertFalse(os.path.exists(backup))
        self.assertEqual([self.requests(s) for s in self.sims], [0, 0, 0, 0])

        # Back up all: three files, the unplugged unit reported, the others go on.
        rc, out, err = self.run_tool("pull", "--all", backup, "--log", logs)
        self.assertEqual(rc, 2, out + err)
        rows = self.summary(out)
        self.assertEqual([rows[n] for n in SERIALS[:3]], ["done"] * 3, out)
        self.assertTrue(rows["FA4"].startswith("failed: "), out)
        self.assertEqual(sorted(os.listdir(backup)), ["FA1.qvr", "FA1.qvr.profile.json", "FA2.qvr",
                                                      "FA2.qvr.profile.json", "FA3.qvr", "FA3.qvr.profile.json"])
        self.assertEqual([self.level(self.path("backup", n + ".qvr")) for n in SERIALS[:3]], [-1, -2, -3])
        self.assertEqual(sorted(os.listdir(logs)), [n + ".log" for n in SERIALS])  # whatever the outcome
        with open(os.path.join(logs, "FA4.log"), encoding="utf-8", errors="replace") as f:
            self.assertIn("FA4", f.read())

        # Push: FA2 gets a changed file, FA1 its own, FA3 none.  (A unit's Low gain
        # reads as gain + level - 8: with the levels above it is out of the
        # editor's range, which --force sends.)
        subprocess.run([self.native_tool, "set", self.path("backup", "FA2.qvr"), "0", "m_fltLevel=-7"], check=True,
                       capture_output=True)
        os.remove(self.path("backup", "FA3.qvr"))
        for s in self.sims:
            s.ctl("clearlog")
        rc, out, err = self.run_tool("push", backup, "--all", "--force")  # --force reaches each unit's push
        self.assertEqual(rc, 2, out + err)
        self.assertLess(out.index("Writing 4 units"), out.index("\nunit "))
        rows = self.summary(out)
        self.assertEqual((rows["FA1"], rows["FA2"]), ("done", "done"))  # FA1: its blank text memory written
        self.assertTrue(rows["FA3"].startswith("failed: no file FA3.qvr in "), rows["FA3"])
        self.assertTrue(rows["FA4"].startswith("failed: "), rows["FA4"])
        self.assertEqual(float(self.sims[1].ctl("get param 0 31").split()[1]), -7)
        self.assertEqual(self.requests(self.sims[2]), 0)  # left alone
        # Again: every unit holds its file now, nothing is sent.
        rc, out, err = self.run_tool("push", backup, "--units", "FA1,FA2", "--force")
        self.assertEqual(rc, 0, out + err)
        self.assertEqual(self.summary(out), {"FA1": "already equal", "FA2": "already equal"})

        # Which unit differs?
        self.sims[0].ctl("set param 0 29 2.5")  # FA1's delay changed behind the backup's back
        rc, out, err = self.run_tool("diff", backup, "--units", "FA1,FA2")
        self.assertEqual(rc, 1, out + err)
        self.assertEqual(self.summary(out), {"FA1": "differs: 1 fields", "FA2": "already equal"})
        self.assertIn("FA1: record 0 m_fltDelay: ", out)

        # Firmware on all: one image, checked once; the unplugged unit is never started on.
        words = [(0x10203040 * (i + 1)) & 0xFFFFFFFF for i in range(64)]
        fw = self.path("fw.hex")
        with open(fw, "wb") as f:
            f.write(image(words))
        rc, out, err = self.run_tool("firmware", fw, "--all", "--jobs", "2")
        self.assertEqual(rc, 2, out + err)
        self.assertIn("Image: 64 words", out)
        rows = self.summary(out)
        self.assertEqual([rows[n] for n in SERIALS[:3]], ["done"] * 3, out)
        self.assertTrue(rows["FA4"].endswith("(updating firmware not started)"), rows["FA4"])
        for s in self.sims[:3]:
            got = [int(w, 16) for w in s.ctl("get mem 0x90000000 64").split()]
            self.assertEqual(got, words)

        # A firmware file that fails its check stops the run before any unit.
        with open(fw, "wb") as f:
            f.write(image(words)[:-5])
        for s in self.sims:
            s.ctl("clearlog")
        rc, out, err = self.run_tool("firmware", fw, "--units", "FA1,FA2")
        self.assertEqual(rc, 2)
        self.assertIn("The file ends inside record", err)
        self.assertEqual([self.requests(s) for s in self.sims[:2]], [0, 0])

        # Reports of all, and an index page with each unit's result.
        reports = self.path("reports")
        rc, out, err = self.run_tool("report", "--units", "FA1,FA4", "-o", reports)
        self.assertEqual(rc, 2, out + err)
        self.assertEqual(sorted(os.listdir(reports)), ["FA1.html", "index.html"])
        with open(os.path.join(reports, "index.html"), encoding="utf-8") as f:
            index = f.read()
        self.assertIn('<a href="FA1.html">FA1</a>', index)
        self.assertRegex(index, r"FA4</td>.*failed: ")


if __name__ == "__main__":
    harness.main()
