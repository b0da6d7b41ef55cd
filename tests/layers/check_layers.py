#!/usr/bin/env python3
"""Checks the include structure of the tree, the house's layering:

    resources  (ids, strings: every layer may include them)
    framework  protocol
    model  sim
    measure (model only)
    files
    device
    editor  speakerlib
    shell
    tools

The packet codec (protocol) needs nothing of ours, so both ends of the wire
stand on it: the simulated unit (sim), which keeps its own copies of the
numbers on purpose, and the device layer, whose in-process transport runs
the simulated unit as the program's default device.

A file may include headers of its own layer and of the layers above it in
this list, never of a layer below it (tests, benchmarks and fuzzers may
include anything).  Code that is built natively (every source listed in the
native tree's compile_commands.json, and every project header such a source
includes, directly or not) includes no Windows header.  And every number
with a name has one home: resource ids (ID*_), window messages (WM_),
protocol numbers (CMD_, PARAMETER_, SYSFLAG_) are defined only in their
home headers, never again elsewhere (the simulator and the sibling stand-in
play the other side and keep their own on purpose).  And the editor's
working copy of the shown channel meets the channel set in one place only:
values move between the two through model/ConfigurationSet alone.

    check_layers.py SOURCE_DIR [NATIVE_COMPILE_COMMANDS]

Prints each violation as file:line and exits 1 when there is any."""

import json
import os
import re
import sys

LAYERS = {
    "resources": 0,
    "framework": 1, "protocol": 1,
    "model": 2, "sim": 2,
    "measure": 2.5,
    "files": 3,
    "device": 4,
    "editor": 5, "speakerlib": 5,
    "shell": 6,
    "tools": 7,
}
# Folders that may include only these of the lower layers (and themselves):
# the measurement library is portable mathematics on top of the model.
ONLY = {"measure": {"resources", "model"}}
# Headers of the platform that portable code must not see.
WINDOWS_HEADERS = {"windows.h", "winsock2.h", "ws2tcpip.h", "commctrl.h", "commdlg.h", "shellapi.h",
                   "shlobj.h", "objbase.h", "winbase.h", "windef.h", "winuser.h", "wingdi.h", "tchar.h",
                   "process.h", "io.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


CONDITION = re.compile(r'^\s*#\s*(if|ifdef|ifndef|elif|else|endif)\b(.*)')
WIN32_TEST = re.compile(r'^\s*(defined\s*\(?\s*_WIN32\s*\)?|_WIN32)\s*$')


def includes(path, skip_windows_only=False):
    """(line number, delimiter, name) of every #include of a file; with
    skip_windows_only, not those inside an `#ifdef _WIN32` branch."""
    out = []
    stack = []  # per open #if: "win" (a _WIN32 branch), "other"
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for n, line in enumerate(f, 1):
                c = CONDITION.match(line)
                if c:
                    word, rest = c.group(1), c.group(2).split("//")[0]
                    if word in ("if", "ifdef"):
                        stack.append("win" if WIN32_TEST.match(rest) else "other")
                    elif word == "ifndef":
                        stack.append("notwin" if WIN32_TEST.match(rest) else "other")
                    elif word == "else" and stack:
                        stack[-1] = {"win": "notwin", "notwin": "win"}.get(stack[-1], "other")
                    elif word == "elif" and stack:
                        stack[-1] = "other"
                    elif word == "endif" and stack:
                        stack.pop()
                    continue
                m = INCLUDE.match(line)
                if m and not (skip_windows_only and "win" in stack):
                    out.append((n, m.group(1), m.group(2)))
    except OSError:
        pass
    return out


def sources(root, folders, endings=(".h", ".cpp")):
    """(path, path relative to root) of every file with one of these endings
    in these folders."""
    for top in folders:
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for name in files:
                if name.endswith(endings):
                    path = os.path.join(dirpath, name)
                    yield path, os.path.relpath(path, root).replace(os.sep, "/")


def layer_of(rel):
    top = rel.split("/", 1)[0]
    return top, LAYERS.get(top)


def check_layering(root):
    problems = []
    for path, rel in sources(root, LAYERS, (".h", ".cpp", ".inc", ".rc")):
        top, rank = layer_of(rel)
        for line, delim, inc in includes(path):
            if delim != '"':
                continue
            inc_top, inc_rank = layer_of(inc)
            if inc_rank is not None and inc_rank > rank:
                problems.append("%s:%d: %s (layer %s) includes %s (layer %s, higher)"
                                % (rel, line, rel, top, inc, inc_top))
            elif inc_rank is not None and top in ONLY and inc_top != top and inc_top not in ONLY[top]:
                problems.append("%s:%d: %s includes %s (it may include only %s)"
                                % (rel, line, rel, inc, ", ".join(sorted(ONLY[top]))))
    return problems


HOMES = {"resources/resource.h", "framework/AppMessages.h", "model/ParameterMap.h", "model/ChannelConfig.h"}
OTHER_SIDE = ("sim/", "tools/siblingstandin/")
NAMED_NUMBER = re.compile(r'^\s*(?:#\s*define|(?:static\s+)?(?:inline\s+)?constexpr\b[^=;(]*?|const\b[^=;(]*?)\s'
                          r'((?:IDS|IDC|IDD|IDR|IDI|IDB|ID|WM|CMD|PARAMETER|SYSFLAG)_[A-Z0-9_]+)\b')


def check_homes(root):
    problems = []
    for path, rel in sources(root, LAYERS):
        if rel in HOMES or rel.startswith(OTHER_SIDE):
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            for n, line in enumerate(f, 1):
                m = NAMED_NUMBER.match(line)
                if m:
                    problems.append("%s:%d: %s is defined outside its home (%s)"
                                    % (rel, n, m.group(1), ", ".join(sorted(HOMES))))
    return problems


# The editor edits the shown channel in a working copy (the response plot)
# beside its entry in the channel set; CConfigurationSet alone moves values
# between the two (StoreShown, LoadShown, Show).  Each place that once wrote
# that out by hand had to remember when, and each one that forgot parted
# screen and unit.  So nowhere else in the program is a record assigned from
# the working copy, or the working copy from a record.  The working copy is
# known by the names the program gives it.
WORKING_COPY_HOMES = {"model/ConfigurationSet.h", "model/ConfigurationSet.cpp"}
WORKING_COPY_FOLDERS = ("model", "files", "device", "editor", "speakerlib", "shell")
WORKING = r'(?:\bm_ctlPlot\b|\bGetPlot\(\)|\bplot\b|\bwc\b|\bShown\(\)|\bm_working\b|\bpWorking\b|\bworkingCopy\b)'
OWNER = r'(?:\w+(?:\(\))?\s*(?:\.|->)\s*)*'  # form.GetPlot(), m_config.Shown(), m_form.GetPlot()
WORKING_COPY_MOVES = [
    re.compile(r'\.\s*Assign\(\s*\*?\s*' + OWNER + WORKING),         # a record takes the working copy's values
    re.compile(WORKING + r'\s*(?:\.|->)\s*Assign\('),                # the working copy takes a record's
    re.compile(r'[\])]\s*=\s*\*?\s*' + OWNER + WORKING + r'\s*;'),    # a record copied whole from it
]


def check_working_copy(root):
    problems = []
    for path, rel in sources(root, WORKING_COPY_FOLDERS):
        if rel in WORKING_COPY_HOMES:
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            for n, line in enumerate(f, 1):
                code = line.split("//")[0]
                if any(p.search(code) for p in WORKING_COPY_MOVES):
                    problems.append("%s:%d: moves values between the working copy and the channel set "
                                    "outside model/ConfigurationSet" % (rel, n))
    return problems


def check_portable(root, compile_commands):
    with open(compile_commands) as f:
        entries = json.load(f)
    sources = set()
    for e in entries:
        path = os.path.normpath(os.path.join(e.get("directory", ""), e["file"]))
        if path.startswith(os.path.normpath(root) + os.sep) and "/build/" not in path:
            sources.add(path)
    problems = []
    seen = set()
    stack = [(s, None) for s in sorted(sources)]
    while stack:
        path, via = stack.pop()
        if path in seen:
            continue
        seen.add(path)
        rel = os.path.relpath(path, root).replace(os.sep, "/")
        for line, delim, inc in includes(path, skip_windows_only=True):
            if inc.lower() in WINDOWS_HEADERS:
                problems.append("%s:%d: built natively%s, includes <%s>"
                                % (rel, line, " (through %s)" % via if via else "", inc))
            elif delim == '"':
                for base in (root, os.path.dirname(path)):
                    candidate = os.path.normpath(os.path.join(base, inc))
                    if os.path.isfile(candidate):
                        stack.append((candidate, via or rel))
                        break
    return problems, len(sources)


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    root = os.path.abspath(argv[1])
    problems = check_layering(root) + check_homes(root) + check_working_copy(root)
    checked = ""
    if len(argv) > 2:
        portable, count = check_portable(root, argv[2])
        problems += portable
        checked = ", %d natively built sources" % count
    for p in problems:
        print(p)
    print("%d layering problem(s)%s" % (len(problems), checked))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
