#!/usr/bin/env python3
"""End-to-end checks of qvrtool: new, set, dump, diff, response and the error exits."""
import json
import os
import subprocess
import sys
import tempfile

TOOL = sys.argv[1]
failures = []


def run(*args):
    p = subprocess.run([TOOL, *args], capture_output=True, text=True)
    return p.returncode, p.stdout, p.stderr


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAIL:", what)


def read(path):
    with open(path, "rb") as f:
        return f.read()


with tempfile.TemporaryDirectory() as d:
    a = os.path.join(d, "a.qvr")
    b = os.path.join(d, "b.qvr")

    rc, _, err = run("new", a)
    check(rc == 0, f"new exits 0 ({err})")
    data = read(a)
    check(len(data) == 1144, "new writes 1144 bytes")
    check(data[:16] == bytes.fromhex("4E005200560058004F0000000100 3412".replace(" ", "")), "signature and version")
    check(sorted(os.listdir(d)) == ["a.qvr"], "no temporary file left behind")

    # Response of the default Left channel.
    rc, out, _ = run("response", a, "0")
    lines = out.splitlines()
    check(rc == 0 and lines[0] == "hz,low,mid,high" and len(lines) == 4002, "response: header and 4001 rows")
    rows = {int(l.split(",")[0]): l.split(",")[1:] for l in lines[1:]}
    check(abs(float(rows[200][0]) + 5.96) < 0.02, f"low at 200 Hz is about -5.96 ({rows[200][0]})")
    check(abs(float(rows[25][0]) + 4.8) < 0.05, f"low at 25 Hz is about -4.8 ({rows[25][0]})")
    check(rows[0][0] == "-inf", f"0 Hz with the channel high-pass prints -inf ({rows[0][0]})")
    check(all(len(v[0].split(".")[-1]) == 4 for k, v in rows.items() if k > 0), "values printed with four decimals")

    # --sum: three more columns; phase and group delay empty where the sum is below -60 dB.
    rc, out, _ = run("response", a, "0", "--sum")
    lines = out.splitlines()
    check(rc == 0 and lines[0] == "hz,low,mid,high,sum,phase,gd" and len(lines) == 4002, "response --sum: header, rows")
    rows = {int(l.split(",")[0]): l.split(",")[1:] for l in lines[1:]}
    check(all(len(v) == 6 for v in rows.values()), "every --sum row has seven cells")
    check(rows[0][3:] == ["-inf", "", ""], f"0 Hz: no sum, no phase ({rows[0]})")
    check(abs(float(rows[250][3]) + 5.5) < 0.05, f"the factory Triamp's sum dips to about -5.5 at 250 Hz ({rows[250]})")
    check(all(-180 < float(v[4]) <= 180 for k, v in rows.items() if k > 0), "phase within (-180, 180]")
    check(rows[1000][:3] == run("response", a, "0")[1].splitlines()[201].split(",")[1:],
          "the band columns stay as they were")
    # The High band inverted in a Biamp channel whose slopes meet at 1 kHz: a null there.
    run("set", a, "1", "m_fltLowLPFreq=1000", "m_fltHighHPFreq=1000", "m_dwHighFlags=0x20000")
    undelayed = run("response", a, "1", "--mode", "2", "--sum")[1]
    rows = {int(l.split(",")[0]): l.split(",")[1:] for l in undelayed.splitlines()[1:]}
    check(float(rows[1000][3]) < -60 and rows[1000][4:] == ["", ""], f"null at the crossover ({rows[1000]})")
    run("set", a, "1", "m_fltDelay=3")
    check(run("response", a, "1", "--mode", "2", "--sum")[1] == undelayed,
          "the channel delay changes neither the sum nor its phase and group delay as written")
    rc, _, err = run("dump", a, "--sum")
    check(rc == 2 and "not valid" in err, "--sum belongs to response only")
    run("set", a, "1", "m_fltLowLPFreq=200", "m_fltHighHPFreq=2500", "m_dwHighFlags=0", "m_fltDelay=0")

    # set, dump --json, diff.
    rc, _, err = run("set", a, "2", "m_fltLowGain=-1.5", "m_szSpeaker=Stage Left Ünit", "m_dwHighFlags=0x10000")
    check(rc == 0, f"set exits 0 ({err})")
    rc, out, _ = run("dump", a, "--json")
    doc = json.loads(out)
    ch2 = doc["channels"][2]
    check(rc == 0 and ch2["m_fltLowGain"] == -1.5, "dump --json shows the new gain")
    check(ch2["m_szSpeaker"] == "Stage Left Ünit", "dump --json shows the new name")
    check(ch2["m_dwHighFlags"] == 0x10000, "dump --json shows the flag word")
    check(doc["channels"][5]["m_szSpeaker"] == "Subwoofer" and doc["channels"][5]["m_fltLowLPFreq"] == 500,
          "Subwoofer defaults")
    check(len(ch2) == 32, "dump --json has every field of a record")
    rc, out, _ = run("dump", a)
    check(rc == 0 and "m_fltLowGain" in out and "-1.5" in out, "plain dump")

    run("new", b)
    rc, out, _ = run("diff", b, a)
    check(rc == 1 and len(out.splitlines()) == 3, f"diff lists three differences, exit 1 ({rc}, {out!r})")
    check("record 2 m_fltLowGain: 0 -> -1.5" in out, "diff line format")
    rc, out, _ = run("diff", a, a)
    check(rc == 0 and out == "", "diff of a file with itself: exit 0, no output")

    # Names are kept in their own letter case: a rename that only changes case
    # takes effect, and a name that differs from the default only in case
    # survives an edit of another field.
    rc, _, err = run("set", a, "0", "m_szSpeaker=default triamp")
    check(rc == 0, f"case-only rename exits 0 ({err})")
    rc, _, err = run("set", a, "0", "m_fltDelay=1")
    doc = json.loads(run("dump", a, "--json")[1])
    check(doc["channels"][0]["m_szSpeaker"] == "default triamp",
          f"name keeps its letter case ({doc['channels'][0]['m_szSpeaker']!r})")
    run("set", a, "0", "m_szSpeaker=DEFAULT Triamp", "m_fltDelay=0")

    # Biamp: Mid fields are ignored, the Mid HP frequency is not.
    rc, _, err = run("set", a, "0", "m_fltMidGain=-4", "m_fltMidHPFreq=250", "--mode", "2")
    check(rc == 0 and "ignored" in err, "Mid field in mode 2 warns")
    doc = json.loads(run("dump", a, "--json")[1])
    check(doc["channels"][0]["m_fltMidGain"] == 0 and doc["channels"][0]["m_fltMidHPFreq"] == 250,
          "mode 2 keeps the Mid gain and sets the Mid HP frequency")

    # Errors: exit 2, one line naming the problem, file untouched.
    before = read(a)
    for args, what in [
        (("set", a, "6", "m_fltLevel=1"), "bad channel"),
        (("set", a, "1", "m_fltNoSuch=1"), "unknown name"),
        (("set", a, "1", "m_fltLevel=1x"), "bad number"),
        (("set", a, "1", "m_fltLevel=nan"), "non-finite number"),
        (("set", a, "1", "m_dwLowFlags=-1"), "negative flag word"),
        (("set", a, "1", "m_dwLowFlags=0x100000000"), "flag word too large"),
        (("set", a, "1", "m_fltLevel=1", "m_fltNoSuch=2"), "one bad assignment among good ones"),
        (("set", a, "1", "--mode", "4", "m_fltLevel=1"), "bad mode"),
        (("response", a, "x"), "bad response channel"),
    ]:
        rc, out, err = run(*args)
        check(rc == 2 and err.count("\n") == 1 and err.startswith("qvrtool: "), f"{what}: exit 2, one line ({rc}, {err!r})")
        check(read(a) == before, f"{what}: file untouched")

    short = os.path.join(d, "short.qvr")
    with open(short, "wb") as f:
        f.write(before[:700])
    foreign = os.path.join(d, "foreign.qvr")
    with open(foreign, "wb") as f:
        f.write(b"nrvxo".decode().encode("utf-16-le") + b"\0\0" + before[12:])
    missing = os.path.join(d, "missing.qvr")
    for path, reason in [(short, "700 of 1144"), (foreign, "signature"), (missing, "cannot open")]:
        for args in [("dump", path), ("response", path, "0"), ("diff", a, path), ("set", path, "0", "m_fltLevel=1")]:
            rc, out, err = run(*args)
            check(rc == 2 and err.count("\n") == 1 and path in err and reason in err,
                  f"{args[0]} {os.path.basename(path)}: exit 2 naming file and reason ({err!r})")
    check(read(short) == before[:700] and not os.path.exists(missing), "failed commands write nothing")

    # Values the records cannot hold are named when a file is loaded: a channel
    # high-pass below its 20 Hz floor and a name of 32 characters.
    odd = os.path.join(d, "odd.qvr")
    data = bytearray(before)
    data[16 + 188 + 72:16 + 188 + 76] = bytes.fromhex("00002041")  # 10.0
    data[16 + 2 * 188 + 4:16 + 2 * 188 + 68] = ("N" * 32).encode("utf-16-le")
    with open(odd, "wb") as f:
        f.write(data)
    rc, out, err = run("dump", odd)
    check(rc == 0 and "record 1 m_fltHPFreq is 10 in the file and reads as 20" in err,
          f"dump names the floored high-pass ({err!r})")
    check("record 2 m_szSpeaker is cut to 31 characters" in err, f"dump names the cut name ({err!r})")
    rc, out, err = run("dump", a)
    check(rc == 0 and err == "", f"a file the records hold exactly loads without warnings ({err!r})")

    # set refuses what no field of the editor takes, naming the range; --force writes it.
    before = read(a)
    for args, msg in [
        (("set", a, "0", "m_fltLevel=100"), "m_fltLevel=100 is outside the editor's range -22..8 (Triamp)"),
        (("set", a, "0", "m_fltLowLPFreq=100"), "m_fltLowLPFreq=100 is outside the editor's range 200..4000 (Triamp)"),
        (("set", a, "0", "m_fltLowLPFreq=99", "--mode", "2"), "range 100..4000 (Biamp)"),
    ]:
        rc, out, err = run(*args)
        check(rc == 2 and err.count("\n") == 1 and msg in err and "--force" in err, f"{args[3]}: refused ({err!r})")
        check(read(a) == before, f"{args[3]}: file untouched")
    rc, _, err = run("set", a, "0", "m_fltLowLPFreq=100", "--mode", "2")
    check(rc == 0, f"Biamp takes a Low LP frequency of 100 ({err!r})")
    rc, _, err = run("set", a, "1", "m_fltLevel=100", "--force")
    doc = json.loads(run("dump", a, "--json")[1])
    check(rc == 0 and doc["channels"][1]["m_fltLevel"] == 100, f"--force writes it ({err!r})")

    # dump names what the editor would not take; response refuses NaN instead of printing nan rows.
    data = bytearray(read(a))
    data[16 + 2 * 188 + 68:16 + 2 * 188 + 72] = bytes.fromhex("0000C07F")  # NaN level on record 2
    data[16 + 4 * 188:16 + 4 * 188 + 4] = bytes([3, 0, 0, 0])            # record 4 claims channel 3
    odd2 = os.path.join(d, "odd2.qvr")
    with open(odd2, "wb") as f:
        f.write(bytes(data) + b"tail")
    rc, out, err = run("dump", odd2)
    for text in ["record 0 m_fltLowLPFreq is 100, outside the editor's range 200..4000 (Triamp)",
                 "record 1 m_fltLevel is 100, outside the editor's range -22..8 (Triamp)",
                 "record 2 m_fltLevel is NaN, which no field of the editor takes",
                 "records 3 and 4 both claim channel 3",
                 "4 bytes follow the sixth record; the program ignores them"]:
        check(rc == 0 and text in err, f"dump warns: {text} ({err!r})")
    rc, out, err = run("response", odd2, "2")
    check(rc == 2 and out == "" and "record 2 m_fltLevel is NaN" in err and "cannot be computed" in err,
          f"response of a NaN level: exit 2, no rows ({rc}, {err!r})")
    rc, out, err = run("response", odd2, "0")
    check(rc == 0 and len(out.splitlines()) == 4002 and "m_fltLowLPFreq is 100" in err and "NaN" not in err,
          f"response of another record warns about that record only ({err!r})")

    # diff compares the bytes the reader reads: values the setters change on
    # the way in, name units after the terminator, and what follows the sixth record.
    x, y = os.path.join(d, "x.qvr"), os.path.join(d, "y.qvr")
    base = bytearray(read(b))
    vx, vy = bytearray(base), bytearray(base)
    vx[16 + 72:16 + 76] = bytes.fromhex("00002041")  # high-pass 10 Hz, read as 20
    vy[16 + 72:16 + 76] = bytes.fromhex("00007041")  # 15 Hz, read as 20
    vy[16 + 188 + 4 + 40:16 + 188 + 4 + 42] = b"Z\0"  # after the name's terminator
    with open(x, "wb") as f:
        f.write(bytes(vx))
    with open(y, "wb") as f:
        f.write(bytes(vy) + b"\0")
    rc, out, _ = run("diff", x, y)
    check(rc == 1 and out.splitlines() == [
        "record 0 m_fltHPFreq: 10 -> 15",
        "record 1 m_szSpeaker: the units after the name's terminator differ (the program ignores them)",
        "bytes after the sixth record differ (0 -> 1 bytes; the program ignores them)"], f"diff of raw bytes ({out!r})")

    # A directory as target: the write fails and nothing is left behind.
    sub = os.path.join(d, "dir.qvr")
    os.mkdir(sub)
    rc, _, err = run("new", sub)
    check(rc == 2 and err.count("\n") == 1, f"new onto a directory fails cleanly ({err!r})")
    check(os.listdir(sub) == [] and not any(n.endswith(".tmp") for n in os.listdir(d)), "no temporary files left")

# What the user set up stays: a link stays a link (its target gets the new
# content), a file keeps its permissions, and what is not a regular file (a
# named pipe, a directory) is refused before anything is written.
with tempfile.TemporaryDirectory() as d:
    real = os.path.join(d, "real.qvr")
    link = os.path.join(d, "link.qvr")
    run("new", real)
    os.chmod(real, 0o640)
    os.symlink("real.qvr", link)
    rc, _, err = run("set", link, "2", "m_fltLowGain=-2.5")
    check(rc == 0, f"set through a link exits 0 ({err!r})")
    check(os.path.islink(link) and os.readlink(link) == "real.qvr", "the link is still a link to its target")
    rc, out, _ = run("dump", real, "--json")
    check(json.loads(out)["channels"][2]["m_fltLowGain"] == -2.5, "the link's target holds the change")
    check(os.stat(real).st_mode & 0o777 == 0o640, f"the target keeps its permissions ({oct(os.stat(real).st_mode)})")
    dangling = os.path.join(d, "dangling.qvr")
    os.symlink("made-through-link.qvr", dangling)
    rc, _, err = run("new", dangling)
    check(rc == 0 and os.path.islink(dangling) and os.path.exists(os.path.join(d, "made-through-link.qvr")),
          f"new through a dangling link creates its target ({err!r})")
    fifo = os.path.join(d, "pipe.qvr")
    os.mkfifo(fifo)
    rc, _, err = run("new", fifo)
    check(rc == 2 and "not a file" in err, f"a named pipe is refused ({err!r})")
    check(not any(n.startswith(".") for n in os.listdir(d)), f"no temporary files left ({os.listdir(d)})")

# Measurements: predict and response over driver measurements, from the
# generated samples (scripts/make_measurement_samples.py).
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "measure")
with tempfile.TemporaryDirectory() as d:
    now = os.path.join(d, "now.qvr")
    then = os.path.join(d, "then.qvr")
    run("new", now)
    run("new", then)
    run("set", now, "2", "m_fltLevel=-4")
    room = os.path.join(DATA, "room_channel.txt")

    # Without --as-measured the measurement was made with CONFIG: predicted = measured.
    rc, out, err = run("predict", then, "2", "--room", room)
    lines = out.splitlines()
    check(rc == 0 and lines[0] == "freq,measured,predicted,target" and len(lines) == 3998,
          f"predict: header and the rows response prints from 20 Hz ({rc} {err} {lines[:2]})")
    rows = {int(l.split(",")[0]): l.split(",")[1:] for l in lines[1:]}
    check(min(rows) == 20 and max(rows) == 20000, "predict: 20 Hz to 20 kHz")
    check(all(v[0] == v[1] for v in rows.values()), "predict without --as-measured: predicted equals measured")
    # The level change is predicted whole; the target follows the prediction's level.
    rc, out, _ = run("predict", now, "2", "--room", room, "--as-measured", then, "--target", "S2K")
    rows2 = {int(l.split(",")[0]): l.split(",")[1:] for l in out.splitlines()[1:]}
    check(abs(float(rows2[1000][1]) - float(rows[1000][1]) + 4.0) < 0.01, f"a 4 dB cut is predicted ({rows2[1000]})")
    check(abs(float(rows2[1000][2]) - float(rows[1000][2]) + 4.0) < 0.01, "the target level follows the prediction")
    check(abs(float(rows2[4000][2]) - float(rows2[1000][2]) + 1.5) < 1e-3, "S2K: 1.5 dB down an octave above 2 kHz")
    rc, out, _ = run("predict", now, "2", "--room", room, "--mask", os.path.join(DATA, "mask_example.csv"),
                     "--bands")
    lines = out.splitlines()
    check(rc == 0 and lines[0] == "band_hz,deviation_db,outside" and len(lines) == 31 and
          lines[17].startswith("1000,") and lines[17].split(",")[2] in ("yes", "no"),
          f"predict --bands: 30 third-octave bands with the mask's verdict ({lines[:2]}, {lines[17:18]})")
    rc, _, err = run("predict", now, "2", "--room", then)
    check(rc == 2 and "refused: no line holds data" in err, f"a file that is not a measurement is refused ({err!r})")
    rc, _, err = run("predict", now, "2", "--room", room, "--smooth", "12")
    check(rc == 2 and "--smooth" in err, f"a bad option value is a usage error ({err!r})")

    # Drivers: the bands become driver x filters; outside the measured range nothing.
    rc, out, err = run("response", now, "0", "--sum", "--mode", "2",
                       "--driver", "low=" + os.path.join(DATA, "driver_woofer.frd"),
                       "--driver", "high=" + os.path.join(DATA, "driver_horn.frd"))
    lines = out.splitlines()
    check(rc == 0 and lines[0] == "hz,low,mid,high,sum,phase,gd" and len(lines) == 4002,
          f"response --driver: today's columns ({rc} {err})")
    rows = {int(l.split(",")[0]): l.split(",")[1:] for l in lines[1:]}
    plain = {int(l.split(",")[0]): l.split(",")[1:] for l in run("response", now, "0", "--sum", "--mode", "2")[1].splitlines()[1:]}
    check(rows[5][0] == "" and rows[5][3] == "", f"below the drivers' range nothing is drawn ({rows[5]})")
    check(abs(float(rows[1000][0]) - float(plain[1000][0]) - 80.0) < 15.0,
          f"the low band carries the woofer's level ({rows[1000][0]} vs {plain[1000][0]})")
    rc, _, err = run("response", now, "0", "--driver", "sub=" + room)
    check(rc == 2 and "--driver takes" in err, f"an unknown band is a usage error ({err!r})")

if failures:
    print(f"{len(failures)} check(s) failed")
    sys.exit(1)
print("qvrtool end-to-end: all checks passed")
