#!/usr/bin/env python3
"""The packages of the Windows build: `package` writes the ZIP and the
installer; the installer runs silently under Wine, puts the program, qvrtool,
the speaker library, the README and the docs under Program Files with a
Start menu folder and an uninstall entry; the program starts from there and
finds its library; the uninstaller removes everything it installed."""

import glob
import os
import shutil
import subprocess
import time
import zipfile

import harness
from harness import E2ETestCase

LIB_TITLE = "Speaker Library"
IDC_SPEAKER, IDC_LIB_LIST, IDC_LIB_NOTE, IDCANCEL = 236, 311, 313, 2
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QVR500"


class Package(E2ETestCase):

    def reg_query(self, key):
        return subprocess.run(["wine", "reg", "query", key], env=self.h.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=60)

    def test_zip_install_start_uninstall(self):
        h = self.h
        build = h.paths.build
        subprocess.run(["cmake", "--build", build, "--target", "package"], check=True, capture_output=True,
                       timeout=600)
        zips = glob.glob(os.path.join(build, "packages", "QVR500-*-win64.zip"))
        setups = glob.glob(os.path.join(build, "packages", "QVR500-*-win64-setup.exe"))
        self.assertEqual((len(zips), len(setups)), (1, 1), os.listdir(os.path.join(build, "packages")))
        with zipfile.ZipFile(zips[0]) as z:
            names = {n.split("/", 1)[1] for n in z.namelist() if not n.endswith("/")}
        for name in ("bin/QVR500.exe", "bin/qvrtool.exe", "bin/speakerlib.ini", "README.md", "docs/qvrtool.md",
                     "docs/devices.md", "docs/qvrtool-report-unit.png"):
            self.assertIn(name, names)

        drive_c = os.path.join(h.prefix, "drive_c")
        folder = os.path.join(drive_c, "Program Files", "QVR500")
        menu = os.path.join(drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "QVR500")
        # What an earlier, failed run of this test may have left in the prefix.
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(menu, ignore_errors=True)
        subprocess.run(["wine", setups[0], "/S"], env=h.env, stdin=subprocess.DEVNULL, check=True, timeout=300)
        installed = {os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs}
        self.assertEqual(installed, names | {"Uninstall.exe"})
        self.assertEqual(sorted(os.listdir(menu)), ["QVR500.lnk", "Uninstall QVR500.lnk"])
        query = self.reg_query(UNINSTALL_KEY)
        self.assertIn("QuietUninstallString", query.stdout)

        # The program from where it was installed, with its library beside it.
        h.paths.program = r"C:\Program Files\QVR500\bin\QVR500.exe"
        app = self.start()
        form = h.form()
        h.activate()
        h.click_rect(h.info("hwnd:" + form, IDC_SPEAKER)["rect"])
        dlg = h.wait_for(lambda: h.dialogs(LIB_TITLE), 10, LIB_TITLE)[0]["hwnd"]
        items = h.probe("combo", "hwnd:" + dlg, IDC_LIB_LIST)["items"]
        self.assertGreater(len(items), 0)
        self.assertNotIn("was not found", h.info("hwnd:" + dlg, IDC_LIB_NOTE)["text"])
        h.click_rect(h.info("hwnd:" + dlg, IDCANCEL)["rect"])
        h.wait_for(lambda: not h.dialogs(LIB_TITLE), 10, "library closed")
        self.assertEqual(h.exit_program(app, "post"), 0)

        # A file of the user's own stays, and so does its folder; the rest goes.
        own = os.path.join(folder, "bin", "customlib.ini")
        with open(own, "wb") as f:
            f.write(b"\xff\xfe")
        subprocess.run(["wine", r"C:\Program Files\QVR500\Uninstall.exe", "/S"], env=h.env,
                       stdin=subprocess.DEVNULL, check=True, timeout=300)
        # The uninstaller runs from a copy of itself and returns at once; its
        # last step removes the uninstall entry.
        h.wait_for(lambda: self.reg_query(UNINSTALL_KEY).returncode != 0, 120, "uninstalled", interval=0.5)
        left = {os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs}
        self.assertEqual(left, {"bin/customlib.ini"})
        self.assertFalse(os.path.exists(menu))
        os.remove(own)
        os.rmdir(os.path.join(folder, "bin"))
        os.rmdir(folder)


if __name__ == "__main__":
    harness.main()
