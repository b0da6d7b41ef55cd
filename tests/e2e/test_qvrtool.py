#!/usr/bin/env python3
"""qvrtool.exe and units, under Wine against qvr500-sim: units lists what the
program sees; pull of a configured unit equals the unit; push of a different
file sends only what differs and verifies; diff tells equal from different;
a pulled unit, factory-reset, pushed back and pulled again gives the same
file byte for byte; --store keeps the settings; the same over a COM port
(a pseudo-terminal); firmware through the tool lands in the unit's flash
word for word; and faults at the unit during pull, push and firmware end
with exit 2 and one clear line, never a hang and never a half-written file.
No window of the program is involved: the tool receives the queue's
records in a message-only window of its own."""

import json
import os
import random
import re
import shutil
import struct
import subprocess
import tempfile
import time

import harness
from harness import E2ETestCase
from test_firmware import image, wine_path

PROGRAM_START = 0x90000000
LOST = "Communication to active device has been lost."


class Tool(E2ETestCase):
    need_sim = True

    def setUp(self):
        super().setUp()
        self.tool_exe = os.path.join(self.h.paths.build, "tools", "qvrtool", "qvrtool.exe")
        self.native_tool = os.path.join(self.h.paths.native, "tools", "qvrtool", "qvrtool")
        self.dir = tempfile.mkdtemp(prefix="qvrtool-", dir=self.h.artifacts)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def run_tool(self, *args, devices="", timeout=120):
        env = dict(self.h.env)
        env["QVR500_DEVICES"] = devices
        p = subprocess.run(["wine", self.tool_exe] + [wine_path(a) if a.startswith("/") else a for a in args],
                           env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=timeout)
        return p.returncode, p.stdout.replace("\r\n", "\n"), p.stderr.replace("\r\n", "\n")

    def start_tool(self, *args, devices=""):
        env = dict(self.h.env)
        env["QVR500_DEVICES"] = devices
        return subprocess.Popen(["wine", self.tool_exe] + [wine_path(a) if a.startswith("/") else a for a in args],
                                env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True)

    def ok(self, *args, **kw):
        rc, out, err = self.run_tool(*args, **kw)
        self.assertEqual(rc, 0, "qvrtool %s: %s%s" % (" ".join(args), out, err))
        return out

    def dump(self, path):
        return json.loads(subprocess.run([self.native_tool, "dump", path, "--json"], capture_output=True, text=True,
                                         check=True).stdout)

    def native(self, *args):
        subprocess.run([self.native_tool] + list(args), check=True, capture_output=True)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def write(self, path, data):
        with open(path, "w" if isinstance(data, str) else "wb") as f:
            f.write(data)

    def configure(self, sim):
        """A unit that differs from the factory in every kind of value."""
        sim.ctl("set param 0 31 -3.5")          # Left level, and its outputs with it (gain + level - 8):
        sim.ctl("set output 2 0 -13.5")         # Low gain -2
        sim.ctl("set output 0 0 -11.5")         # Mid gain 0
        sim.ctl("set output 0 2 -11.5")         # High gain 0
        sim.ctl("set param 2 23 800")           # Center Low LP frequency
        sim.ctl("set param 4 13 0x00030000")    # Right Center High muted and inverted
        sim.ctl("set param 5 29 1.25")          # Subwoofer channel delay
        sim.ctl("set param 1 3 4500")           # Right High PEQ frequency

    def unplug_when(self, sim, proc, ready, what):
        """Pulls the cable once ready() holds, while the tool still runs."""
        deadline = time.time() + 60
        while not ready():
            self.assertIsNone(proc.poll(), "the tool ended before " + what)
            self.assertLess(time.time(), deadline, "waiting for " + what)
            time.sleep(0.005)
        sim.ctl("unplug")

    def finish(self, proc, timeout=60):
        out, err = proc.communicate(timeout=timeout)  # never a hang: the time-out fails the test
        return proc.returncode, out.replace("\r\n", "\n"), err.replace("\r\n", "\n")

    # ------------------------------------------------------------------------

    def test_units_pull_push_diff_store_and_round_trip(self):
        sim = self.h.start_sim("--instant")
        unit = sim.device_entry("QVR500 USB", "SN-A7")
        devices = "sim:spare:USBXpress Device:SPARE1;tcp:127.0.0.1:99999:QVR500 USB:BAD;" + unit

        rc, out, err = self.run_tool("units", "--json", devices=devices)
        self.assertEqual(rc, 0, err)
        self.assertEqual(json.loads(out), [
            {"index": 0, "description": "USBXpress Device", "serial": "SPARE1"},
            {"index": 1, "description": "QVR500 USB", "serial": "SN-A7"}])
        self.assertIn('port "99999" is not a number from 1 to 65535', err)

        self.configure(sim)
        a = self.path("a.qvr")
        self.ok("pull", "SN-A7", a, devices=devices)   # by serial number
        doc = self.dump(a)["channels"]
        self.assertEqual(doc[0]["m_fltLevel"], -3.5)
        self.assertEqual(doc[0]["m_fltLowGain"], -2)
        self.assertEqual(doc[2]["m_fltLowLPFreq"], 800)
        self.assertEqual(doc[4]["m_dwHighFlags"], 0x30000)
        self.assertEqual(doc[5]["m_fltDelay"], 1.25)
        self.assertEqual(doc[1]["m_fltHighPEQFreq"], 4500)
        profile = json.loads(self.read(a + ".profile.json"))
        self.assertEqual(profile, {"project": "* FACTORY DEFAULTS *", "theater": "", "screen": "", "comments": ""})
        # The pulled file equals the unit; its blank text memory holds no names to compare.
        rc, out, err = self.run_tool("diff", a, "1", devices=devices)  # by index
        self.assertEqual((rc, out), (0, ""))
        self.assertEqual(err, "qvrtool: note: the unit holds no names or profile texts (its text memory is blank)\n")

        # A different file and profile: push sends what differs and verifies.
        b = self.path("b.qvr")
        shutil.copy(a, b)
        self.native("set", b, "1", "m_fltHighGain=-4", "m_szSpeaker=Stage Right")
        self.native("set", b, "2", "m_fltLowLPFreq=900")
        p = self.path("p.json")
        self.write(p, json.dumps({"project": "Hall 7", "theater": "Odéon", "screen": "7", "comments": "commissioned"}))
        sim.ctl("clearlog")
        out = self.ok("push", b, unit, "--profile", p)
        # One SET, one output write, and the text memory (erase, texts, directory).
        texts = sim.count_cmd(4)
        self.assertEqual(out.split(";")[0], "%d writes sent" % (2 + 1 + texts), out)
        sets = [l for l in sim.ctl("log 2000").split(" | ") if " SET " in l]
        self.assertEqual(len(sets), 1, sets)                       # Center Low LP only ...
        self.assertIn("c=2 p=23", sets[0])
        self.assertEqual(sim.count_cmd(7), 1)                      # ... Right High gain only
        self.assertEqual(sim.ctl("get output 0 3").split()[1], "-12")
        self.assertEqual(sim.count_cmd(6), 1)                      # the texts: one erase, then the words
        self.assertEqual(sim.ctl("get stored output 0 3").split()[1], "-8")  # not stored
        rc, out, _ = self.run_tool("diff", b, unit, devices="")
        self.assertEqual((rc, out), (0, ""))
        rc, out, _ = self.run_tool("diff", a, unit)
        self.assertEqual(rc, 1)
        self.assertEqual(sorted(out.splitlines()), [
            'record 1 m_fltHighGain: 0 -> -4',
            'record 1 m_szSpeaker: "DEFAULT Triamp" -> "Stage Right"',
            'record 2 m_fltLowLPFreq: 800 -> 900'])

        # The same again sends nothing (the unit holds the very texts too),
        # and --store keeps it over a power cycle.
        sim.ctl("clearlog")
        out = self.ok("push", b, unit, "--store")
        self.assertTrue(out.startswith("0 writes sent;") and "power cycle" in out, out)
        self.assertEqual(sim.count_cmd(4) + sim.count_cmd(6) + sim.count_cmd(7), 0)
        self.assertEqual(sim.count_cmd(3), 1)
        self.assertEqual(sim.ctl("get stored output 0 3").split()[1], "-12")

        # Pulled, factory-reset, pushed back, pulled again: the same bytes.
        c, d = self.path("c.qvr"), self.path("d.qvr")
        self.ok("pull", unit, c)
        self.assertEqual(json.loads(self.read(c + ".profile.json"))["theater"], "Odéon")
        sim.ctl("factoryreset")
        self.ok("push", c, unit, "--profile", c + ".profile.json")
        self.ok("pull", unit, d)
        self.assertEqual(self.read(c), self.read(d))
        self.assertEqual(self.read(c + ".profile.json"), self.read(d + ".profile.json"))

        # The report of the configured unit: profile, settings, six responses.
        r = self.path("unit.html")
        self.ok("report", unit, "-o", r)
        html = self.read(r).decode()
        for text in ("Hall 7", "Odéon", "commissioned", "Stage Right", ">900<", ">-3.5<"):
            self.assertIn(text, html)
        self.assertEqual(html.count("<svg "), 6)
        # In a real browser it prints on two A4 pages: the texts and settings, then the six plots;
        # so does the report of the factory file.
        factory = self.path("factory.qvr")
        self.native("new", factory)
        self.native("report", factory, "-o", self.path("factory.html"))
        for name in ("unit", "factory"):
            self.assertEqual(self.print_pages(self.path(name + ".html")), [(594.96, 841.92)] * 2, name)

    def print_pages(self, html):
        """The page sizes (points) of the page as headless Chromium prints it."""
        chromium = shutil.which("chromium")
        self.assertTrue(chromium, "chromium is missing (scripts/setup.sh installs it)")
        pdf = html[:-5] + ".pdf"
        subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-pdf-header-footer",
                        "--user-data-dir=" + os.path.join(self.dir, "chromium"), "--print-to-pdf=" + pdf,
                        "file://" + html], check=True, capture_output=True, timeout=120)
        data = self.read(pdf)
        boxes = re.findall(rb"/Type\s*/Page\b[^>]*?/MediaBox\s*\[\s*0 0 ([\d.]+) ([\d.]+)\s*\]", data) or \
            re.findall(rb"/MediaBox\s*\[\s*0 0 ([\d.]+) ([\d.]+)\s*\]", data)
        self.assertEqual(len(re.findall(rb"/Type\s*/Page\b", data)), len(boxes))
        return [(round(float(w), 2), round(float(h), 2)) for w, h in boxes]

    def test_com_port(self):
        sim = self.h.start_sim(transport="pty")  # the line at its real rate
        unit = sim.device_entry("QVR500 USB", "COM-1")
        self.configure(sim)
        # The machine's serial port is a unit without any device list, named by its port.
        port = "COM%d" % sim.com
        self.h.set_serial_ports(sim.com)
        rc, out, err = self.run_tool("units", "--json")
        self.assertEqual((rc, json.loads(out)), (0, [{"index": 0, "description": "QVR500 USB", "serial": port}]))
        a = self.path("com.qvr")
        self.ok("pull", port, a)
        self.assertEqual(self.dump(a)["channels"][2]["m_fltLowLPFreq"], 800)
        self.native("set", a, "0", "m_fltDelay=2.5")
        sim.ctl("clearlog")
        self.ok("push", a, unit)
        self.assertEqual([l for l in sim.ctl("log 3000").split(" | ") if " SET " in l and "c=0 p=29" in l].__len__(), 1)
        self.assertEqual(sim.ctl("get param 0 29").split()[1], "2.5")
        self.assertEqual(self.run_tool("diff", a, unit)[:2], (0, ""))

    def test_firmware(self):
        sim = self.h.start_sim("--instant")
        unit = sim.device_entry()
        rng = random.Random(13)
        words = [rng.getrandbits(32) for _ in range(300)]
        fw = self.path("small.XOF")
        self.write(fw, image(words))
        out = self.ok("firmware", fw, unit)
        extent = "300 words, 0x90000000 to 0x900004AC"
        self.assertEqual(out, "Image: %s\n300 words verified, 0x90000000 to 0x900004AC\nFirmware download complete\n"
                         % extent)
        held = [int(w, 16) for w in sim.ctl("get mem 0x%08X 301" % PROGRAM_START).split()]
        self.assertEqual(held[:300], words)
        self.assertEqual(held[300], 0xFFFFFFFF)
        # Each word verified by its write's reply: nothing read back.
        self.assertEqual((sim.count_cmd(6), sim.count_cmd(4), sim.count_cmd(1)), (1, 300, 0))

        # The dialog's engine: a bit the flash keeps set ends the download at that word, from the write's
        # reply, naming the address, the unit's word and the file's.
        sim.ctl("clearlog")
        bad_word = words[16] & ~1
        words[16] = bad_word
        self.write(fw, image(words))
        sim.ctl("stuck 0x%08X 0x1" % (PROGRAM_START + 64))
        rc, out, err = self.run_tool("firmware", fw, unit)
        self.assertEqual((rc, out), (1, "Image: %s\n" % extent))
        self.assertEqual(err, "qvrtool: unit %s: Verify failed at 0x90000040. The unit holds 0x%08X, the file 0x%08X. "
                              "The unit needs a new firmware download\n" % (unit, bad_word | 1, bad_word))
        self.assertEqual(sim.count_cmd(1), 0)
        sim.ctl("clearfaults")

        # A bad file is refused before anything is sent: the count of
        # requests stands where the last download left it.
        sent = (sim.count_cmd(6), sim.count_cmd(4))
        bad = self.path("bad.XOF")
        self.write(bad, image(words)[:-5])
        rc, out, err = self.run_tool("firmware", bad, unit)
        self.assertEqual(rc, 2)
        self.assertEqual(err.count("\n"), 1, err)
        self.assertIn("Failed to open the selected firmware file. The file ends inside record 300", err)
        self.assertEqual((sim.count_cmd(6), sim.count_cmd(4)), sent)

    def test_faults_end_with_one_line_and_no_half_written_file(self):
        sim = self.h.start_sim()  # wire timing: a read-back takes about a second
        unit = sim.device_entry()
        a = self.path("kept.qvr")
        self.native("new", a)
        before = self.read(a)

        # The cable pulled in the middle of a pull: exit 2, the file as it was.
        proc = self.start_tool("pull", unit, a)
        self.unplug_when(sim, proc, lambda: int(sim.ctl("stats").split()[0].split("=")[1]) >= 80, "80 requests")
        rc, out, err = self.finish(proc)
        self.assertEqual((rc, out), (2, ""))
        self.assertEqual(err, "qvrtool: unit %s: %s\n" % (unit, LOST))
        self.assertEqual(self.read(a), before)
        self.assertFalse(os.path.exists(a + ".profile.json"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["kept.qvr"])

        # A unit that never answers: what Connect says, after the queue's
        # retries; --log keeps what happened on the link for support.
        link_log = self.path("link.txt")
        rc, out, err = self.run_tool("pull", unit, a, "--log", link_log)
        self.assertEqual(rc, 2)
        self.assertIn("Failed to establish a connection to the selected device.", err)
        self.assertEqual(err.count("\n"), 1)
        text = self.read(link_log).decode("ascii")
        head = text.split("\r\n")
        self.assertEqual(head[0], "QVR500 link log")
        self.assertTrue(head[1].startswith("Program: qvrtool, QVR500 "), head[1])
        self.assertEqual(head[3], 'Device: %s "USBXpress Device" SIM00001 (device 0)'
                         % unit.split(":USBXpress")[0])
        self.assertEqual(head[4], "Line: 115200 baud, 8 data bits, no parity, 1 stop bit(s), no flow control")
        events = re.findall(r"req (\d+) +(.*?)\r\n", text)
        self.assertEqual([e[1] for e in events], [
            "link opened: " + head[3][len("Device: "):],
            "time-out, attempt 1: command 11 (0x00000000, 0x00000000, 0x00000000)",
            "resend, attempt 2: command 11 (0x00000000, 0x00000000, 0x00000000)",
            "time-out, attempt 2: command 11 (0x00000000, 0x00000000, 0x00000000)",
            "resend, attempt 3: command 11 (0x00000000, 0x00000000, 0x00000000)",
            "time-out, attempt 3: command 11 (0x00000000, 0x00000000, 0x00000000)",
            "request failed, link given up (failure record), attempt 3: command 11 (0x00000000, 0x00000000, 0x00000000)",
            "link closed"])
        self.assertEqual([e[0] for e in events], ["0"] + ["1"] * 7)
        os.remove(link_log)
        sim.ctl("plug")

        # A refused file sends nothing: the fence is a pull that follows it.
        nan = self.path("nan.qvr")
        data = bytearray(before)
        data[16 + 2 * 188 + 68:16 + 2 * 188 + 72] = struct.pack("<f", float("nan"))
        self.write(nan, bytes(data))
        sim.ctl("clearlog")
        rc, out, err = self.run_tool("push", nan, unit)
        self.assertEqual(rc, 2)
        self.assertIn("record 2 m_fltLevel is NaN", err)
        self.assertIn("refused, nothing sent", err)
        self.ok("pull", unit, self.path("fence.qvr"))
        log = sim.ctl("log 2000")
        self.assertNotIn(" SET ", log)
        self.assertEqual(sim.count_cmd(4) + sim.count_cmd(6) + sim.count_cmd(7), 0)

        # The cable pulled while a push writes the text memory.
        b = self.path("names.qvr")
        shutil.copy(a, b)
        self.native("set", b, "0", "m_szSpeaker=A long speaker name for many words")
        proc = self.start_tool("push", b, unit)
        self.unplug_when(sim, proc, lambda: sim.count_cmd(6) >= 1, "the erase")
        rc, out, err = self.finish(proc)
        self.assertEqual((rc, out, err), (2, "", "qvrtool: unit %s: %s\n" % (unit, LOST)))
        sim.ctl("plug")

        # ... and while a firmware download writes the flash.
        sim.ctl("timing instant")
        fw = self.path("fw.XOF")
        self.write(fw, image(list(range(2000))))
        proc = self.start_tool("firmware", fw, unit)
        self.unplug_when(sim, proc, lambda: sim.count_cmd(4) >= 200, "200 words")
        rc, out, err = self.finish(proc)
        self.assertEqual((rc, out), (2, "Image: 2000 words, 0x90000000 to 0x90001F3C\n"))
        self.assertEqual(err, "qvrtool: unit %s: Download not complete: link to the unit lost. "
                              "The unit needs a new firmware download\n" % unit)


if __name__ == "__main__":
    harness.main()
