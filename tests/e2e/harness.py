"""End-to-end harness: the real QVR500.exe under Wine and Xvfb, a simulated
unit in its own process (qvr500-sim over TCP), driven with xdotool and read
with uiprobe.exe.  See tests/e2e/README.md.

    from harness import Harness
    with Harness() as h:
        sim = h.start_sim()
        app = h.start_program(devices=sim.device_entry())
        h.activate(app.frame)
        h.key("F2")
        h.wait_for(lambda: h.status_text() == "Connected", 10, "connected")

Everything the harness starts (program, simulator) is ended by close(), also
when a test fails; the Xvfb server and the warm wineserver are the project's
shared ones (cmake/wine-env.sh) and are left running for the next test.
"""

import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP = 77  # ctest SKIP_RETURN_CODE

# Window classes and control ids of the program.
FRAME = "class:QVR500FRAME"
SETTINGS_KEY = r"HKEY_CURRENT_USER\Software\QVR500"
DIALOG_CLASS = "#32770"
METER_CLASS = "QVRInputMeter"

BASE_DPI = 96
DPI_KEY = r"HKCU\Control Panel\Desktop"
SETTINGS_KEY = r"HKCU\Software\QVR500"  # what the program remembers

WM_CLOSE = 0x10
WM_COMMAND = 0x111
WM_DEVICECHANGE = 0x219
TBM_GETPOS = 0x400

ID_APP_EXIT = 32768
ID_APP_ABOUT = 32769
ID_FILE_NEW = 32773
ID_FILE_OPEN = 32774
ID_FILE_SAVE = 32775
ID_PROFILE_INFO = 32785
ID_COPY_CHANNEL = 32780
ID_SELECT_DEVICE = 32777
ID_CONNECT = 32778
ID_DISCONNECT = 32779
ID_SYSTEM_MUTE = 32781

WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_CAPTION = 0x00C00000
WS_CLIPSIBLINGS = 0x04000000
WS_CLIPCHILDREN = 0x02000000
WS_OVERLAPPEDWINDOW = 0x00CF0000
WS_EX_WINDOWEDGE = 0x100
WS_EX_APPWINDOW = 0x40000

# Meter colours (lit, dim) by segment group, top to bottom.
METER_SEGMENTS = ["+2", "+1", " 0", "-1", "-3", "-5", "-10"]
METER_THRESHOLDS = [1.5, 0.5, -0.5, -1.5, -3.5, -5.5, -10.5]
METER_LIT = [(255, 0, 0), (255, 0, 0), (255, 255, 0)] + [(0, 255, 0)] * 4
METER_DIM = [(128, 0, 0), (128, 0, 0), (128, 128, 0)] + [(0, 128, 0)] * 4


def scaled(n, dpi):
    """A quantity of 96-dpi pixels at dpi, rounded as the program does (halves up)."""
    return int(n * dpi / BASE_DPI + 0.5)


class HarnessError(AssertionError):
    pass


def _env_path(name, default):
    value = os.environ.get(name)
    return value if value else default


class Paths:
    """Where the trees are: QVR_SOURCE_DIR, QVR_BUILD_DIR (the win tree) and
    QVR_NATIVE_BUILD_DIR (the native tree with qvr500-sim)."""

    def __init__(self):
        self.source = _env_path("QVR_SOURCE_DIR", os.path.normpath(os.path.join(HERE, "..", "..")))
        self.build = _env_path("QVR_BUILD_DIR", os.path.join(self.source, "build", "win"))
        self.native = _env_path("QVR_NATIVE_BUILD_DIR", os.path.join(self.source, "build", "native"))
        self.program = os.path.join(self.build, "shell", "QVR500.exe")
        self.uiprobe = os.path.join(self.build, "tools", "uiprobe", "uiprobe.exe")
        self.sim = os.path.join(self.native, "sim", "qvr500-sim")
        self.wine_run = os.path.join(self.source, "cmake", "wine-run.sh")


def skip_unless_sim(paths=None):
    """Ends the test program with ctest's skip code when qvr500-sim is missing."""
    paths = paths or Paths()
    if not os.access(paths.sim, os.X_OK):
        print("SKIP: qvr500-sim not found at %s (build the native tree first, or set "
              "QVR_NATIVE_BUILD_DIR)" % paths.sim)
        sys.exit(SKIP)


class Sim:
    """One qvr500-sim process: a unit on a TCP link port (or, with transport
    "pty", on a pseudo-terminal that the Wine prefix sees as a COM port) with
    a control port."""

    def __init__(self, harness, args, transport="tcp"):
        self.h = harness
        self.log = tempfile.NamedTemporaryFile(prefix="qvr500-sim-", suffix=".log", delete=False,
                                               dir=harness.artifacts)
        self.com = None
        self.com_link = None
        if transport == "pty":
            self.pty_path = self.log.name[:-4] + ".pty"
            link = ["--pty", self.pty_path]
        else:
            link = ["--tcp", "127.0.0.1:0"]
        self.proc = subprocess.Popen([harness.paths.sim] + link + ["--control", "127.0.0.1:0"] + args,
                                     stdout=subprocess.PIPE, stderr=self.log, text=True)
        self.link_port = self.control_port = None
        deadline = time.time() + 10
        while time.time() < deadline:
            line = self.proc.stdout.readline()
            if not line:
                break
            words = line.split()
            if words[:2] == ["link", "tcp"]:
                self.link_port = int(words[2])
            elif words[:2] == ["link", "pty"]:
                self.link_port = words[2]
            elif words[:2] == ["control", "tcp"]:
                self.control_port = int(words[2])
            elif words[:1] == ["ready"]:
                break
        if not self.link_port or not self.control_port:
            self.stop()
            raise HarnessError("qvr500-sim did not start (see %s)" % self.log.name)
        if transport == "pty":
            # The first free COM port of the prefix becomes the unit's line.
            dosdevices = os.path.join(harness.prefix, "dosdevices")
            for n in range(20, 100):
                path = os.path.join(dosdevices, "com%d" % n)
                if not os.path.lexists(path):
                    os.symlink(self.pty_path, path)
                    self.com, self.com_link = n, path
                    break
        self._sock = socket.create_connection(("127.0.0.1", self.control_port), timeout=10)
        self._file = self._sock.makefile("r")

    def device_entry(self, description="USBXpress Device", serial="SIM00001"):
        """A QVR500_DEVICES entry that reaches this unit."""
        if self.com:
            return "com:COM%d:%s:%s" % (self.com, description, serial)
        return "tcp:127.0.0.1:%d:%s:%s" % (self.link_port, description, serial)

    def ctl(self, command):
        """Sends one control command; returns the reply after "OK", raises on ERR."""
        self._sock.sendall((command + "\n").encode())
        reply = self._file.readline().strip()
        if not reply.startswith("OK"):
            raise HarnessError("sim %r: %s" % (command, reply))
        return reply[2:].strip()

    def count_cmd(self, n):
        return int(self.ctl("count cmd %d" % n))

    def count_get(self, c, p):
        return int(self.ctl("count get %d %d" % (c, p)))

    def flags(self):
        return int(self.ctl("get flags").split()[0], 16)

    def stop(self):
        if self.com_link:
            try:
                os.remove(self.com_link)
            except OSError:
                pass
            self.com_link = None
        try:
            if getattr(self, "_sock", None):
                try:
                    self._sock.sendall(b"quit\n")
                except OSError:
                    pass
                self._sock.close()
                self._sock = None
            if self.proc.poll() is None:
                try:
                    self.proc.wait(3)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    self.proc.wait(3)
        finally:
            if self.proc.stdout:
                self.proc.stdout.close()
            self.log.close()


class Program:
    """One run of QVR500.exe under Wine."""

    def __init__(self, harness, args, devices, env_extra):
        self.h = harness
        self.log = tempfile.NamedTemporaryFile(prefix="qvr500-", suffix=".log", delete=False,
                                               dir=harness.artifacts)
        env = dict(harness.env)
        env["QVR500_DEVICES"] = devices or ""
        env.update(env_extra or {})
        self.started = time.time()
        self.proc = subprocess.Popen(["wine", harness.paths.program] + list(args), env=env,
                                     stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        self.frame = None

    def output(self):
        if not self.log.closed:
            self.log.flush()
        with open(self.log.name, errors="replace") as f:
            return f.read()

    def crashed(self):
        out = self.output()
        return any(m in out for m in ("Unhandled", "Backtrace:", "terminate called"))

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        self.log.close()


class Harness:
    """Xvfb + Wine prefix (cmake/wine-env.sh conventions), the program, the
    simulator, input and probing.  Use as a context manager."""

    def __init__(self, paths=None, artifacts=None):
        self.paths = paths or Paths()
        for f in (self.paths.program, self.paths.uiprobe):
            if not os.path.exists(f):
                raise HarnessError("missing %s: build the win tree first" % f)
        for tool in ("wine", "xdotool", "import", "convert"):
            if not shutil.which(tool):
                raise HarnessError("missing tool: %s" % tool)
        self.artifacts = artifacts or os.path.join(self.paths.build, "tests", "e2e", "artifacts")
        os.makedirs(self.artifacts, exist_ok=True)
        self.prefix = _env_path("QVR_WINEPREFIX", os.path.join(self.paths.source, "build", "win", "wineprefix"))
        self.display = _env_path("QVR_DISPLAY", _env_path("DISPLAY_OVERRIDE", ":71"))
        if os.environ.get("QVR_E2E_BESIDE"):
            # A long test that runs beside the others: a display and a prefix of its own
            # (the others close any frame they find on theirs), ten displays further on.
            self.display = ":%d" % (int(self.display.lstrip(":").split(".")[0]) + 10)
            self.prefix += "-beside"
        self.env = dict(os.environ)
        self.env.update({"WINEPREFIX": self.prefix, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
                         "DISPLAY": self.display})
        self._sims = []
        self._programs = []
        self.started = []  # every program started, for the crash check after teardown
        self._prepare()

    # -- set-up and teardown -------------------------------------------------

    def _prepare(self):
        """Xvfb, prefix and warm wineserver through the project's wrapper; a
        crash then prints its backtrace instead of opening a dialog."""
        env = dict(os.environ)
        env["QVR_WINEPREFIX"] = self.prefix
        env["QVR_DISPLAY"] = self.display
        for attempt in range(3):
            # Other tests may be starting the shared wineserver at the same moment.
            r = subprocess.run([self.paths.wine_run, self.paths.uiprobe, "metrics"], env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
            if r.returncode == 0:
                break
            time.sleep(2)
        else:
            raise HarnessError("cannot run uiprobe under Wine (prefix %s, display %s)" % (self.prefix, self.display))
        # No debugger on a crash: the process prints "Unhandled ..." and ends at
        # once (a debugger attaching to a process that crashed while exiting
        # waits forever).
        # Every test starts from nothing remembered (the program's settings
        # key): one registry import does both.
        self.import_registry(["[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]",
                              '"Auto"="1"', '"Debugger"="false"', "", "[-%s]" % SETTINGS_KEY])
        # A test that ended half way through start_program(dpi=...) (killed)
        # left another resolution behind: its mark says so.
        if os.path.exists(self._dpi_mark()):
            self.set_dpi(BASE_DPI)
        self.metrics = self.probe("metrics")
        self.set_serial_ports()

    def import_registry(self, lines):
        """Imports registry lines (the body of a REGEDIT4 file) in one Wine process."""
        path = os.path.join(self.artifacts, "import-%d.reg" % os.getpid())
        with open(path, "w", newline="\r\n") as f:
            f.write("REGEDIT4\n\n" + "\n".join(lines) + "\n")
        r = subprocess.run(["wine", "regedit", "/s", "Z:" + path.replace("/", "\\")], env=self.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        os.remove(path)
        if r.returncode != 0:
            raise HarnessError("cannot import registry lines %r" % lines)

    def set_serial_ports(self, *coms):
        """Makes COM<n> for each n the machine's serial ports (SERIALCOMM), as
        Windows lists them when USB-serial bridges are plugged in; none by
        default (Wine lists a COM1 of its own, which Select Device would show)."""
        self.probe("serialports", *["COM%d" % n for n in coms])

    def _dpi_mark(self):
        return self.prefix + ".qvr-dpi"

    def set_dpi(self, dpi):
        """The screen resolution of the Wine processes started from now on
        (HKCU\\Control Panel\\Desktop LogPixels, read when a process starts;
        the prefix and the wineserver stay the same).  A mark beside the
        prefix exists while it is not 96."""
        if dpi != BASE_DPI:
            open(self._dpi_mark(), "w").close()
        r = subprocess.run(["wine", "reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(int(dpi)),
                            "/f"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        if r.returncode != 0:
            raise HarnessError("cannot set LogPixels to %s" % dpi)
        if dpi == BASE_DPI and os.path.exists(self._dpi_mark()):
            os.remove(self._dpi_mark())

    def close(self):
        for app in self._programs:
            self._end_program(app)
        self._programs = []
        for sim in self._sims:
            sim.stop()
        self._sims = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # -- processes -------------------------------------------------------------

    def start_sim(self, *args, transport="tcp"):
        sim = Sim(self, list(args), transport)
        self._sims.append(sim)
        return sim

    def start_program(self, devices="", args=(), wait=True, env=None, dpi=None):
        """Starts QVR500.exe; with wait, returns once the frame is up and the
        start-up splash has gone.  With dpi the program runs at that screen
        resolution; every other process (the probe included) keeps 96 dpi,
        which is put back as soon as the program's frame exists."""
        self._kill_leftover_frames()
        if dpi and dpi != BASE_DPI:
            if not wait:
                raise HarnessError("start_program(dpi=...) waits for the frame")
            self.set_dpi(dpi)
        try:
            app = Program(self, args, devices, env)
            self._programs.append(app)
            self.started.append(app)
            if wait:
                info = self.wait_for(lambda: self.find(FRAME), 60, "main frame")
        finally:
            if dpi and dpi != BASE_DPI:
                self.set_dpi(BASE_DPI)
        if wait:
            info = self.wait_for(lambda: self.find(FRAME + ",visible"), 60, "main frame shown")
            app.frame = info
            self.wait_for(lambda: self.splash(app) is None, 15, "splash gone")
        return app

    def _kill_leftover_frames(self):
        # A frame left by an earlier, failed test would take our keys and probes.
        if self.find(FRAME):
            self.post(FRAME, WM_CLOSE)
            self.wait_for(lambda: self.find(FRAME) is None, 10, "earlier frame closed")

    def _end_program(self, app):
        if app.proc.poll() is None and self.find(FRAME):
            self.post(FRAME, WM_CLOSE)
            app.wait_exit(10)
        app.kill()

    def exit_program(self, app, how="close", timeout=15, leave_nothing=False):
        """Closes the program the way a person would ("close": the caption's
        close box, "altf4", "menu": File > Exit, "post": WM_CLOSE) and returns
        its exit code.  With leave_nothing, no window of the program may stay
        on screen once its main window has gone, until the process has ended."""
        frame = self.info(FRAME)
        if how == "close":
            left, top, right, _ = frame["rect"]
            self.click(right - 10, top + 11)
        elif how == "altf4":
            self.activate(frame)
            self.key("alt+F4")
        elif how == "menu":
            self.activate(frame)
            self.key("alt")
            self.key("f")
            self.key("x")
        else:
            self.post(FRAME, WM_CLOSE)
        if leave_nothing:
            deadline = time.time() + timeout
            while app.proc.poll() is None and time.time() < deadline:
                left = [w for w in self.windows() if w["pid"] == frame["pid"]]
                if left and app.proc.poll() is None and self.find(FRAME) is None:
                    raise HarnessError("windows left on screen after %s: %s" % (how, left))
        code = app.wait_exit(timeout)
        if code is None:
            raise HarnessError("program did not exit after %s" % how)
        return code

    # -- probing ---------------------------------------------------------------

    def probe(self, *args, check=True):
        # The probe prints one line of JSON whenever it ran (exit 0, or 1 for "not found") and a usage text
        # on stderr with exit 2. Anything else -- no output at all -- means Wine failed to start or finish
        # the probe process (it happens on a loaded machine): try again.
        for attempt in range(5):
            r = subprocess.run(["wine", self.paths.uiprobe] + [str(a) for a in args], env=self.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True, timeout=60)
            if r.returncode == 2 or (r.returncode in (0, 1) and r.stdout.strip()):
                break
            time.sleep(0.5 * (attempt + 1))
        text = r.stdout.strip().splitlines()
        if r.returncode == 1 and not check:
            return None
        if r.returncode != 0 or not text:
            if not check:
                return None
            raise HarnessError("uiprobe %s failed (%d): %s %s" % (" ".join(map(str, args)), r.returncode, r.stdout,
                                                                 r.stderr[-400:]))
        return json.loads(text[-1])

    def find(self, sel):
        return self.probe("info", sel, check=False)

    def info(self, sel, control=None):
        return self.probe("info", sel) if control is None else self.probe("info", sel, control)

    def control(self, sel, control):
        return self.probe("info", sel, control, check=False)

    def children(self, sel):
        return self.probe("children", sel)

    def windows(self, visible_only=True):
        ws = self.probe("list")
        return [w for w in ws if w["visible"] or not visible_only]

    def dialogs(self, title=None):
        """Visible dialogs (message boxes included) of the program."""
        frame = self.find(FRAME)
        out = []
        for w in self.windows():
            if w["class"] != DIALOG_CLASS:
                continue
            if frame and w["pid"] != frame["pid"]:
                continue
            if title is not None and w["text"] != title:
                continue
            out.append(w)
        return out

    def dialog_texts(self, dlg):
        return [c["text"] for c in self.children("hwnd:" + dlg["hwnd"])]

    def message_box(self):
        """The visible message box "QVR500" as (window, its text), or None."""
        for d in self.dialogs("QVR500"):
            kids = self.children("hwnd:" + d["hwnd"])
            texts = [k["text"] for k in kids if k["class"] == "Static" and k["text"]]
            buttons = [k for k in kids if k["class"] == "Button"]
            if texts and not any(b["id"] == 1541 for b in buttons):
                return d, texts[-1]
        return None

    def splash(self, app=None):
        """The splash (or About box): a captionless dialog holding control 1342."""
        for d in self.dialogs(""):
            if self.control("hwnd:" + d["hwnd"], 1342):
                return d
        return None

    def wait_box(self):
        for d in self.dialogs(""):
            if "Retrieving Settings..." in self.dialog_texts(d):
                return d
        return None

    def connect(self, timeout=30):
        """F2, then wait until the unit has been read back: "Connected" and the wait box gone."""
        self.key("F2")
        self.wait_for(lambda: self.status_text() == "Connected", timeout, "connected")
        self.wait_for(lambda: self.wait_box() is None, 10, "wait box gone")

    def form(self):
        """The editor form: the frame's one child dialog."""
        return [k for k in self.children(FRAME) if k["class"] == "#32770"][0]["hwnd"]

    def status(self):
        return self.probe("status", FRAME)

    def status_text(self):
        """The connection indicator in the status bar's second part."""
        for c in self.children(FRAME):
            if c["class"] == "Static" and c["text"] in ("Connected", "Disconnected"):
                return c["text"]
        return None

    def status_indicator(self):
        for c in self.children(FRAME):
            if c["class"] == "Static" and c["text"] in ("Connected", "Disconnected"):
                return c
        raise HarnessError("no status text")

    def toolbar(self):
        return self.probe("toolbar", FRAME)["buttons"]

    def button(self, command):
        for b in self.toolbar():
            if b["command"] == command:
                return b
        raise HarnessError("no toolbar button %d" % command)

    def colours(self, sel, x, y, w, h):
        """Colour counts of a client rectangle: {(r, g, b): count}."""
        res = self.probe("pixels", sel, x, y, w, h)
        return {tuple(c[:3]): c[3] for c in res["colors"]}

    def dominant(self, sel, x, y, w, h):
        cs = self.colours(sel, x, y, w, h)
        return max(cs.items(), key=lambda kv: kv[1])[0]

    def meters(self):
        """The six meter windows, left to right on screen."""
        ms = [w for w in self.windows() if w["class"] == METER_CLASS]
        return sorted(ms, key=lambda w: w["rect"][0])

    def meter_segments(self, meter, dpi=BASE_DPI):
        """For each of the seven segments: "lit", "dim" or the colour found
        (the meter drawn at dpi)."""
        width, height = meter["client"]
        left = width // 2 - scaled(13, dpi)
        # The column (67 pixels at 96 dpi) is shortened to fit a meter with less room.
        dpi_y = dpi if dpi <= BASE_DPI or scaled(67, dpi) <= height else max(BASE_DPI, height * BASE_DPI // 67)
        out = []
        for i in range(7):
            top = scaled(2 + 9 * i, dpi_y)
            c = self.dominant("hwnd:" + meter["hwnd"], left + scaled(2, dpi), top + scaled(3, dpi_y), 4, 5)
            group = 0 if i < 2 else (1 if i == 2 else 2)
            if c == METER_LIT[i]:
                out.append("lit")
            elif c == METER_DIM[i]:
                out.append("dim")
            else:
                out.append(c)
        return out

    @staticmethod
    def expected_segments(level_db):
        return ["lit" if level_db >= t else "dim" for t in METER_THRESHOLDS]

    # -- input -----------------------------------------------------------------

    def xdo(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True, timeout=30)

    def move(self, x, y):
        self.xdo("mousemove", x, y)

    def click(self, x, y, button=1):
        self.xdo("mousemove", x, y, "click", button)
        time.sleep(0.15)

    def click_rect(self, rect, button=1):
        left, top, right, bottom = rect
        self.click((left + right) // 2, (top + bottom) // 2, button)

    def click_control(self, sel, control):
        self.click_rect(self.info(sel, control)["rect"])

    def key(self, *keys):
        for k in keys:
            self.xdo("key", "--delay", "60", k)
        time.sleep(0.15)

    def type(self, text):
        # "--": a text that starts with "-" is text, not an option of xdotool's.
        self.xdo("type", "--delay", "40", "--", text)

    def wheel(self, x, y, clicks=3, down=True):
        self.move(x, y)
        for _ in range(clicks):
            self.xdo("click", 5 if down else 4)

    def activate(self, window=None):
        """Gives a window the keyboard focus as a person would: a click on its caption."""
        w = window or self.info(FRAME)
        left, top, right, _ = w["rect"]
        self.click(left + 120, top + 10)

    def post(self, sel, msg, wparam=0, lparam=0):
        return self.probe("post", sel, msg, wparam, lparam)

    def command(self, command_id):
        return self.probe("command", FRAME, command_id)

    # -- what the program remembers ----------------------------------------------

    def setting(self, name):
        """A REG_DWORD the program keeps under its settings key, or None."""
        r = subprocess.run(["wine", "reg", "query", SETTINGS_KEY, "/v", name], env=self.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                           timeout=60)
        for line in r.stdout.splitlines():
            parts = line.split()
            if len(parts) == 3 and parts[0] == name and parts[1] == "REG_DWORD":
                return int(parts[2], 16)
        return None

    def forget_setting(self, name):
        subprocess.run(["wine", "reg", "delete", SETTINGS_KEY, "/v", name, "/f"], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    # -- the simulator's view -------------------------------------------------

    # -- waiting and evidence ---------------------------------------------------

    def wait_for(self, fn, timeout, what, interval=0.1):
        deadline = time.time() + timeout
        last = None
        while True:
            last = fn()
            if last:
                return last
            if time.time() >= deadline:
                self.screenshot("timeout-" + "".join(ch if ch.isalnum() else "_" for ch in what))
                raise HarnessError("timed out after %.1f s waiting for %s" % (timeout, what))
            time.sleep(interval)

    def screenshot(self, name, rect=None, path=None):
        """Saves the screen (or a rectangle of it) as PNG; returns the path."""
        path = path or os.path.join(self.artifacts, name + ".png")
        raw = path + ".full.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", raw], check=True, timeout=60)
        if rect:
            left, top, right, bottom = rect
            subprocess.run(["convert", raw, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                            "+repage", path], check=True, timeout=60)
            os.remove(raw)
        else:
            os.replace(raw, path)
        return path


class E2ETestCase(unittest.TestCase):
    """A test case with a harness per test; the program's output is shown
    when a test fails."""

    need_sim = False

    @classmethod
    def setUpClass(cls):
        if cls.need_sim:
            skip_unless_sim()

    def setUp(self):
        self.addCleanup(self._check_crashes)  # runs last: after the programs ended
        self.h = Harness()
        self.addCleanup(self.h.close)

    def start(self, devices="", **kw):
        return self.h.start_program(devices=devices, **kw)

    def _check_crashes(self):
        for app in self.h.started:
            if app.crashed():
                print("--- program output (crash) ---\n" + app.output())
                raise AssertionError("the program crashed")

    def assertEventually(self, fn, timeout=10, what="condition"):
        return self.h.wait_for(fn, timeout, what)


def main():
    """Runs the calling test module's tests; exit code 77 when skipped."""
    unittest.main(verbosity=2)
