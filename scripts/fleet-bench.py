#!/usr/bin/env python3
"""qvrtool over several units against qvr500-sim processes on tcp: at wire
timing (figures, not a test).

  scripts/fleet-bench.py [--units 6,12] [--words 4096] [--no-firmware] [--soak]

Starts the simulators, then runs, in one go and beside each other: one
unit's pull and firmware download alone, the same over N units in parallel
(the ratio to one unit is printed), and over N units with --jobs 1.  For
every run it prints the wall time, the exchanges with the units (the
simulators count them), the processor time per exchange spent in the qvrtool
processes and in the prefix's wineserver (on a two-core machine these two
bound how many units can go at once), and the machine's load average beside
each figure, since the machine may be shared.

--soak runs the fault soak instead: twelve units, one dropping replies now and
then (and three in a row once), one unplugged mid-way; the firmware update
and then the backup of all twelve, with the checks: the ten others done and
their flash and files verified, the two reported with their reasons, no file
half-written, exit code 2.

Needs both trees built (qvr500-sim and qvrtool in build/native, qvrtool.exe
in build/win).  QVR_DISPLAY and QVR_WINEPREFIX as for cmake/wine-run.sh."""

import argparse
import json
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
NATIVE = os.environ.get("QVR_NATIVE_BUILD_DIR", os.path.join(SOURCE, "build", "native"))
WIN = os.environ.get("QVR_BUILD_DIR", os.path.join(SOURCE, "build", "win"))
PREFIX = os.environ.get("QVR_WINEPREFIX", os.path.join(WIN, "wineprefix"))
TOOL = os.path.join(WIN, "tools", "qvrtool", "qvrtool.exe")
NATIVE_TOOL = os.path.join(NATIVE, "tools", "qvrtool", "qvrtool")
HZ = os.sysconf("SC_CLK_TCK")


def load():
    with open("/proc/loadavg") as f:
        return f.read().split()[0]


class Sim:
    def __init__(self):
        self.proc = subprocess.Popen([os.path.join(NATIVE, "sim", "qvr500-sim"), "--tcp", "127.0.0.1:0",
                                      "--control", "127.0.0.1:0"], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        for line in self.proc.stdout:
            w = line.split()
            if w[:2] == ["link", "tcp"]:
                self.port = int(w[2])
            elif w[:2] == ["control", "tcp"]:
                control = int(w[2])
            elif w[:1] == ["ready"]:
                break
        self.sock = socket.create_connection(("127.0.0.1", control))
        self.file = self.sock.makefile("r")
        self.lock = threading.Lock()

    def ctl(self, command):
        with self.lock:
            self.sock.sendall((command + "\n").encode())
            reply = self.file.readline().strip()
        if not reply.startswith("OK"):
            raise RuntimeError("sim %r: %s" % (command, reply))
        return reply[2:].strip()

    def requests(self):
        return int(re.search(r"requests=(\d+)", self.ctl("stats")).group(1))

    def stop(self):
        try:
            self.sock.sendall(b"quit\n")
        except OSError:
            pass
        self.proc.wait(5)


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def server_ticks():
    """utime + stime of the prefix's wineserver (its working folder names the prefix)."""
    st = os.stat(PREFIX)
    name = "server-%x-%x" % (st.st_dev, st.st_ino)
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % pid) as f:
                if not f.read().startswith("wineserver"):
                    continue
            if os.readlink("/proc/%s/cwd" % pid).endswith("/" + name):
                with open("/proc/%s/stat" % pid) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                return int(fields[11]) + int(fields[12])
        except OSError:
            continue
    return 0


class ToolClock(threading.Thread):
    """Samples the processor time of every qvrtool.exe of this prefix while a
    run goes on (each unit is a child process of its own)."""

    def __init__(self):
        super().__init__(daemon=True)
        self.ticks = {}
        self.stop_flag = False

    def run(self):
        while not self.stop_flag:
            for pid in os.listdir("/proc"):
                if not pid.isdigit() or pid in self.ticks and self.ticks[pid] < 0:
                    continue
                try:
                    with open("/proc/%s/cmdline" % pid, "rb") as f:
                        if b"qvrtool.exe" not in f.read():
                            continue
                    with open("/proc/%s/environ" % pid, "rb") as f:
                        if ("WINEPREFIX=" + PREFIX).encode() not in f.read().split(b"\0"):
                            continue
                    with open("/proc/%s/stat" % pid) as f:
                        fields = f.read().rsplit(")", 1)[1].split()
                    self.ticks[pid] = max(self.ticks.get(pid, 0), int(fields[11]) + int(fields[12]))
                except OSError:
                    continue
            time.sleep(0.02)

    def seconds(self):
        self.stop_flag = True
        self.join()
        return sum(t for t in self.ticks.values() if t > 0) / HZ


def run_tool(args, devices, label, sims):
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", QVR500_DEVICES=devices)
    for s in sims:
        s.ctl("clearlog")
    load_before = load()
    clock = ToolClock()
    clock.start()
    server = server_ticks()
    start = time.time()
    p = subprocess.run([os.path.join(SOURCE, "cmake", "wine-run.sh"), TOOL] + args, env=env,
                       stdin=subprocess.DEVNULL, capture_output=True, text=True)
    wall = time.time() - start
    tool_s = clock.seconds()
    server_s = (server_ticks() - server) / HZ
    exchanges = sum(s.requests() for s in sims)
    processes = len(clock.ticks)
    # What the processes' starts cost (measured alone) is taken out of the
    # figures per exchange, and shown per process.
    start_tool, start_server = START_COST
    per = lambda s: 1e6 * s / exchanges if exchanges else 0
    print("load %s..%s | %-34s %7.2f s  exit %d  %6d exchanges  %2d processes  per exchange: tool %6.1f us, "
          "wineserver %6.1f us" % (load_before, load(), label, wall, p.returncode, exchanges, processes,
                                   per(max(0, tool_s - processes * start_tool)),
                                   per(max(0, server_s - processes * start_server))), flush=True)
    return wall, p


START_COST = [0.0, 0.0]


def measure_start():
    """Processor time of one qvrtool.exe that starts and ends at once (--help)."""
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all")
    runs = 5
    clock = ToolClock()
    clock.start()
    server = server_ticks()
    start = time.time()
    for _ in range(runs):
        subprocess.run([os.path.join(SOURCE, "cmake", "wine-run.sh"), TOOL, "--help"], env=env,
                       stdin=subprocess.DEVNULL, capture_output=True)
    wall = (time.time() - start) / runs
    START_COST[0] = clock.seconds() / runs
    START_COST[1] = (server_ticks() - server) / HZ / runs
    print("load %s | a qvrtool.exe process alone: %.2f s wall, processor time %.0f ms in it, %.0f ms in the "
          "wineserver" % (load(), wall, 1e3 * START_COST[0], 1e3 * START_COST[1]), flush=True)


def firmware_image(path, words):
    out = bytearray(b"\x02\r\n")
    for i, w in enumerate(words):
        out += ("%02X %02X %02X %02X " % (w & 0xFF, (w >> 8) & 0xFF, (w >> 16) & 0xFF, w >> 24)).encode()
        if i % 8 == 7:
            out += b"\r\n"
    with open(path, "wb") as f:
        f.write(bytes(out))


def entries(sims):
    return ";".join("tcp:127.0.0.1:%d:QVR500 USB:U%02d" % (s.port, i + 1) for i, s in enumerate(sims))


def targets(args, work):
    counts = [int(n) for n in args.units.split(",")]
    sims = [Sim() for _ in range(max(counts))]
    try:
        subprocess.run([os.path.join(SOURCE, "cmake", "wine-run.sh"), "cmd", "/c", "exit", "0"],
                       capture_output=True)  # a warm server to measure
        print("machine: %d cores, load %s (1 min)" % (os.cpu_count(), load()))
        measure_start()
        one = entries(sims[:1])
        t1, _ = run_tool(["pull", "0", wine_path(os.path.join(work, "one.qvr"))], one, "pull, one unit", sims[:1])
        for n in counts:
            tn, _ = run_tool(["pull", "--all", wine_path(os.path.join(work, "pull%d" % n))], entries(sims[:n]),
                             "pull --all, %d units" % n, sims[:n])
            print("    ratio %.2f x one unit (target %s)" % (tn / t1, "1.3" if n <= 6 else "2.0"))
        n = counts[0]
        tj, _ = run_tool(["pull", "--all", "--jobs", "1", wine_path(os.path.join(work, "jobs1"))],
                         entries(sims[:n]), "pull --all --jobs 1, %d units" % n, sims[:n])
        print("    ratio %.2f x one unit (sequential: about %d)" % (tj / t1, n))
        if args.no_firmware:
            return
        fw = os.path.join(work, "fw.hex")
        firmware_image(fw, [random.getrandbits(32) & 0xFFFFFFFE for _ in range(args.words)])
        f1, _ = run_tool(["firmware", wine_path(fw), "0"], one, "firmware %d words, one unit" % args.words, sims[:1])
        for n in counts:
            fn, _ = run_tool(["firmware", wine_path(fw), "--all"], entries(sims[:n]), "firmware --all, %d units" % n,
                             sims[:n])
            print("    ratio %.2f x one unit (target %s)" % (fn / f1, "1.3" if n <= 6 else "2.0"))
    finally:
        for s in sims:
            s.stop()


def check_file(path, level):
    if os.path.getsize(path) != 1144:
        return "size %d" % os.path.getsize(path)
    doc = json.loads(subprocess.run([NATIVE_TOOL, "dump", path, "--json"], capture_output=True, text=True).stdout)
    return None if doc["channels"][0]["m_fltLevel"] == level else "level %r" % doc["channels"][0]["m_fltLevel"]


def soak(args, work):
    sims = [Sim() for _ in range(12)]
    dropper, unplugged = 3, 8  # U04 and U09
    measure_start()
    try:
        for i, s in enumerate(sims):
            s.ctl("set param 0 31 %d" % -(i + 1))
        words = [random.getrandbits(32) & 0xFFFFFFFE for _ in range(args.words)]
        fw = os.path.join(work, "fw.hex")
        firmware_image(fw, words)
        done = threading.Event()

        def faults():
            t0 = time.time()
            dropped3 = False
            # A dropped reply is sent again after the reply time (1 s): drops
            # further apart than that are each recovered by the queue.
            while not done.wait(2.5):
                if not dropped3 and time.time() - t0 > 20:
                    sims[dropper].ctl("drop 3")         # three in a row: the unit is lost
                    dropped3 = True
                elif not dropped3:
                    sims[dropper].ctl("drop 1")         # now and then: recovered
                if time.time() - t0 > 12:
                    sims[unplugged].ctl("unplug")       # the cable pulled mid-way

        threading.Thread(target=faults, daemon=True).start()
        logs = os.path.join(work, "logs")
        _, p = run_tool(["firmware", wine_path(fw), "--all", "--log", wine_path(logs)], entries(sims),
                        "soak: firmware --all, 12 units", sims)
        done.set()
        print(p.stdout.replace("\r\n", "\n"))
        problems = []
        rows = dict(re.findall(r"^(U\d\d)\s+\S+.*?\s{2}(done|already equal|differs: \d+ fields|failed: .*?)\s{2,}\S+ s\s*$",
                               p.stdout.replace("\r\n", "\n"), re.M))
        for i, s in enumerate(sims):
            serial = "U%02d" % (i + 1)
            result = rows.get(serial, "(missing)")
            if i in (dropper, unplugged):
                if not result.startswith("failed: "):
                    problems.append("%s: %s (a failure was expected)" % (serial, result))
                continue
            if result != "done":
                problems.append("%s: %s" % (serial, result))
                continue
            got = []
            for a in range(0, len(words), 4096):
                got += [int(w, 16) for w in s.ctl("get mem 0x%08X %d" % (0x90000000 + 4 * a,
                                                                         min(4096, len(words) - a))).split()]
            if got != words:
                problems.append("%s: the flash differs from the image" % serial)
        if p.returncode != 2:
            problems.append("exit code %d (2 expected)" % p.returncode)
        if sorted(os.listdir(logs)) != ["U%02d.log" % (i + 1) for i in range(12)]:
            problems.append("logs: %s" % sorted(os.listdir(logs)))

        # The backup of all twelve with the faults still on: complete files only.
        sims[dropper].ctl("drop 1000")
        backup = os.path.join(work, "backup")
        _, p = run_tool(["pull", "--all", wine_path(backup)], entries(sims), "soak: pull --all, 12 units", sims)
        expected = sorted(n for i in range(12) if i not in (dropper, unplugged)
                          for n in ("U%02d.qvr" % (i + 1), "U%02d.qvr.profile.json" % (i + 1)))
        if sorted(os.listdir(backup)) != expected:
            problems.append("backup folder holds %s" % sorted(os.listdir(backup)))
        for i in range(12):
            path = os.path.join(backup, "U%02d.qvr" % (i + 1))
            if os.path.exists(path) and check_file(path, -(i + 1)):
                problems.append("%s: %s" % (path, check_file(path, -(i + 1))))
        if p.returncode != 2:
            problems.append("pull exit code %d (2 expected)" % p.returncode)
        print("soak: %s" % ("passed" if not problems else "FAILED\n  " + "\n  ".join(problems)))
        return not problems
    finally:
        for s in sims:
            s.stop()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--units", default="6,12")
    ap.add_argument("--words", type=int, default=4096)
    ap.add_argument("--no-firmware", action="store_true")
    ap.add_argument("--soak", action="store_true")
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="qvr-fleet-bench-")
    try:
        if args.soak:
            return 0 if soak(args, work) else 1
        targets(args, work)
        return 0
    finally:
        shutil.rmtree(work, True)


if __name__ == "__main__":
    sys.exit(main())
