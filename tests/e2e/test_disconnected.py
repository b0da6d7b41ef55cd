#!/usr/bin/env python3
"""The program without a unit: start-up, main window, toolbar, tooltips and
descriptions, meters and status colours, keys and the wheel, the About box,
Select Device, Connect with no unit, and every way out."""

import time

import harness
from harness import (FRAME, ID_APP_ABOUT, ID_CONNECT, ID_COPY_CHANNEL, ID_DISCONNECT, ID_FILE_NEW, ID_FILE_OPEN,
                     ID_FILE_SAVE, ID_PROFILE_INFO, ID_SELECT_DEVICE, ID_SYSTEM_MUTE, TBM_GETPOS, WS_CAPTION,
                     WS_CLIPCHILDREN, WS_CLIPSIBLINGS, WS_EX_APPWINDOW, WS_EX_WINDOWEDGE, WS_MAXIMIZEBOX,
                     WS_MINIMIZEBOX, WS_OVERLAPPEDWINDOW, WS_SYSMENU, WS_THICKFRAME, E2ETestCase)

RED, YELLOW, GREEN, BLACK = (255, 0, 0), (255, 255, 0), (0, 255, 0), (0, 0, 0)


class Disconnected(E2ETestCase):

    def test_regserver_ends_at_once(self):
        for arg in ("/regserver", "-x regserver-y"):
            app = self.h.start_program(args=arg.split(), wait=False)
            code = app.wait_exit(15)
            self.assertEqual(code, 0, arg)
            self.assertIsNone(self.h.find(FRAME), "no window for " + arg)

    def test_main_window(self):
        app = self.start()
        h = self.h
        frame = h.info(FRAME)
        self.assertEqual(frame["text"], "QVR500")
        style = frame["style"]
        for bit in (WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_CLIPCHILDREN, WS_CLIPSIBLINGS):
            self.assertTrue(style & bit, hex(bit))
        self.assertFalse(style & WS_THICKFRAME, "no sizing border")
        self.assertFalse(style & WS_MAXIMIZEBOX, "no maximize box")
        self.assertTrue(frame["exstyle"] & WS_EX_APPWINDOW)

        # Sized as a 755 x 520 client with a sizing border, centred on the screen.
        if h.metrics["dpi"] == [96, 96]:
            adj = h.probe("adjust", 755, 520, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                          WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, 1)["rect"]
            sw, sh = h.metrics["screen"]
            dx, dy = sw // 2 - adj[2] // 2, sh // 2 - adj[3] // 2
            self.assertEqual(frame["rect"], [adj[0] + dx, adj[1] + dy, adj[2] + dx, adj[3] + dy])
            border = h.metrics["cxsizeframe"] - h.metrics["cxfixedframe"]
            self.assertEqual(frame["client"], [755 + 2 * border, 520 + 2 * border])

        # Toolbar: 13 entries, images from the strip, Disconnect and System Mute off.
        tb = [(b["command"], b["image"], b["enabled"]) for b in h.toolbar() if not b["separator"]]
        self.assertEqual(tb, [(ID_FILE_NEW, 0, True), (ID_FILE_OPEN, 1, True), (ID_FILE_SAVE, 2, True),
                              (ID_PROFILE_INFO, 10, True), (ID_COPY_CHANNEL, 3, True), (ID_CONNECT, 5, True),
                              (ID_DISCONNECT, 6, False), (ID_APP_ABOUT, 7, True), (ID_SYSTEM_MUTE, 8, False)])
        self.assertEqual(len(h.toolbar()), 13)

        # Meters at -80 dB: every segment dim; six side by side over the toolbar's right end.
        meters = h.meters()
        self.assertEqual(len(meters), 6)
        for i, m in enumerate(meters):
            self.assertEqual(m["client"][0], 57)
            if i:
                self.assertEqual(m["rect"][0] - meters[i - 1]["rect"][0], 56)
            self.assertEqual(h.meter_segments(m), ["dim"] * 7)
        self.assertEqual(meters[-1]["rect"][2], frame["origin"][0] + frame["client"][0])

        # Status: "Disconnected", yellow on red, in the second part.
        ind = h.status_indicator()
        self.assertEqual(ind["text"], "Disconnected")
        cs = h.colours("hwnd:" + ind["hwnd"], 0, 0, *ind["client"])
        self.assertEqual(set(cs), {RED, YELLOW})
        part = h.status()["parts"][1]["rect"]
        self.assertEqual(ind["rect"], [part[0] + 1, part[1] + 1, part[2] - 1, part[3] - 1])
        h.screenshot("main-disconnected", frame["rect"])

        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_tooltips_and_descriptions(self):
        app = self.start()
        h = self.h
        h.activate()
        for command, tip, text in ((ID_CONNECT, "Connect\t(F2)", "Establish a connection with a QVR"),
                                   (ID_FILE_NEW, "New\t(Ctrl+N)", "Create a new parameter file")):
            b = h.button(command)
            h.move(b["rect"][0] + 5, b["rect"][1] + 5)
            h.move(b["rect"][0] + 12, b["rect"][1] + 12)
            h.wait_for(lambda: h.status()["parts"][0]["text"] == text, 5, "description of %d" % command)
            tips = h.wait_for(lambda: [w for w in h.windows() if w["class"] == "tooltips_class32" and w["text"]],
                              8, "tooltip of %d" % command)
            # The text up to the newline; how the tab shows is the tooltip control's.
            self.assertIn(tips[0]["text"], (tip, tip.split("\t")[0]))
        # Off the toolbar the description goes.
        frame = h.info(FRAME)
        h.move(frame["origin"][0] + 300, frame["origin"][1] + 300)
        h.move(frame["origin"][0] + 310, frame["origin"][1] + 310)
        h.wait_for(lambda: h.status()["parts"][0]["text"] == "", 5, "description cleared")

        # A menu item shows its description too (with the cursor resting on the
        # toolbar's empty end, where no button is hot and nothing clears it).
        mute = h.button(ID_SYSTEM_MUTE)["rect"]
        h.move(mute[2] + 30, mute[1] + 10)
        h.wait_for(lambda: h.status()["parts"][0]["text"] == "", 5, "no hot button")
        h.key("alt", "Down")
        h.wait_for(lambda: h.status()["parts"][0]["text"] == "Create a new parameter file", 5, "menu description")
        h.key("Escape", "Escape")
        self.assertEqual(h.exit_program(app, "altf4"), 0)

    def test_keys_in_a_field_and_the_wheel(self):
        app = self.start()
        h = self.h
        kids = h.children(FRAME)
        # The mouse wheel reaches no control.
        slider = next(c for c in kids if c["class"] == "msctls_trackbar32" and c["visible"])
        pos = h.probe("send", "hwnd:" + slider["hwnd"], TBM_GETPOS, 0, 0)["result"]
        h.activate()
        h.wheel((slider["rect"][0] + slider["rect"][2]) // 2, (slider["rect"][1] + slider["rect"][3]) // 2, 5)
        h.wheel((slider["rect"][0] + slider["rect"][2]) // 2, (slider["rect"][1] + slider["rect"][3]) // 2, 5,
                down=False)

        # An arrow key in a field moves the caret once: End, Left, "5" turns "30" into "350".
        field = next(c for c in kids if c["class"] == "Edit" and c["visible"] and c["text"] == "30")
        h.click_rect(field["rect"])
        h.key("End", "Left")
        h.type("5")
        h.wait_for(lambda: h.info("hwnd:" + field["hwnd"])["text"] == "350", 5, "field 350")
        # The keys came after the wheel, so the wheel has been handled by now (a fence, not a pause).
        self.assertEqual(h.probe("send", "hwnd:" + slider["hwnd"], TBM_GETPOS, 0, 0)["result"], pos)

        # F2 in a field reaches the accelerators: no unit, so "could not be found".
        h.key("F2")
        box = h.wait_for(h.message_box, 10, "message 520")
        self.assertEqual(box[1], "QVR500 device could not be found.")
        tb = {b["command"]: b["enabled"] for b in h.toolbar()}
        self.assertTrue(tb[ID_CONNECT])
        self.assertFalse(tb[ID_DISCONNECT])
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 5, "message box closed")
        self.assertEqual(h.exit_program(app, "menu"), 0)

    def test_about_box_without_unit(self):
        app = self.start()
        h = self.h
        h.click_rect(h.button(ID_APP_ABOUT)["rect"])
        about = h.wait_for(h.splash, 5, "about box")
        sel = "hwnd:" + about["hwnd"]
        self.assertEqual(h.info(sel, 1342)["text"],
                         "QVR-500 Laptop Interface Software\r\nVersion: 2.0.2 Build 140415 ")
        self.assertFalse(h.info(sel, 249)["visible"], "no firmware line without a unit")
        # White inside, the corners cut away by the rounded region.
        self.assertEqual(h.dominant(sel, 40, 100, 20, 10), (255, 255, 255))
        self.assertNotEqual(h.dominant(sel, 0, 0, 3, 3), (255, 255, 255))
        h.screenshot("about-disconnected", about["rect"])
        left, top, right, bottom = about["rect"]
        h.click(left + 60, bottom - 30)  # on a picture
        h.wait_for(lambda: h.splash() is None, 5, "about box closed by a click")
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_a_malformed_device_entry_is_named_when_no_unit_is_found(self):
        entry = "tcp:127.0.0.1:99999:USBXpress Device:SN1"
        app = self.start(entry)
        h = self.h
        h.activate()
        h.key("F2")
        box = h.wait_for(h.message_box, 10, "message 520")
        self.assertEqual(box[1].splitlines()[0], "QVR500 device could not be found.")
        self.assertIn('QVR500_DEVICES: entry 1 "%s" skipped: port "99999" is not a number from 1 to 65535' % entry,
                      box[1])
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 5, "message box closed")
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_splash_ignores_clicks(self):
        app = self.start(wait=False)
        h = self.h
        splash = h.wait_for(h.splash, 30, "splash")
        shown = time.time()
        left, top, right, bottom = splash["rect"]
        h.click((left + right) // 2, (top + bottom) // 2)
        time.sleep(0.3)  # the click's way through X and Wine; the splash's own two seconds are what is timed here
        # Judged by when the look ended: a look that ended within 1.5 s of the splash's appearance
        # saw it before its two seconds were up (on a loaded machine a look can take longer than that).
        still_there = h.splash()
        if time.time() - shown < 1.5:
            self.assertIsNotNone(still_there, "a click does not close the splash")
        h.wait_for(lambda: h.splash() is None, 10, "splash gone")
        self.assertGreaterEqual(time.time() - shown, 1.5)
        self.assertEqual(h.exit_program(app, "close"), 0)

    def select_device_dialog(self):
        """Opens Select Device; returns the dialog and its list's items."""
        h = self.h
        h.command(ID_SELECT_DEVICE)
        dlg = h.wait_for(lambda: (h.dialogs("Select Device") or [None])[0], 5, "Select Device")
        return dlg, h.probe("combo", "hwnd:" + dlg["hwnd"], 1003)

    def test_select_device_lists_only_qvr500_units(self):
        devices = ";".join(["tcp:127.0.0.1:9:USBXpress Device:AUTO1", "tcp:127.0.0.1:9:QVR500 USB:SN-A",
                            "tcp:127.0.0.1:9:qvr500 usb:SN-B"])
        app = self.start(devices)
        h = self.h
        dlg, combo = self.select_device_dialog()
        self.assertEqual([(i["text"], i["data"]) for i in combo["items"]],
                         [("None", -1), ("QVR500 USB (SN-A)", 1), ("qvr500 usb (SN-B)", 2)])
        self.assertEqual(combo["selected"], 1)
        h.screenshot("select-device", dlg["rect"])
        h.key("Escape")
        h.wait_for(lambda: not h.dialogs("Select Device"), 5, "Select Device closed")
        self.assertEqual(h.exit_program(app, "post"), 0)

    def test_a_chosen_unit_survives_device_changes(self):
        # Only a "QVR500 USB" unit: the automatic lookup finds nothing, so a
        # device change used to forget the unit chosen in the dialog.
        app = self.start("tcp:127.0.0.1:9:QVR500 USB:SN-A")
        h = self.h
        h.command(ID_SELECT_DEVICE)
        dlg = h.wait_for(lambda: (h.dialogs("Select Device") or [None])[0], 5, "Select Device")
        self.assertEqual(h.probe("combo", "hwnd:" + dlg["hwnd"], 1003)["selected"], 1)
        h.click_control("hwnd:" + dlg["hwnd"], 1)  # OK
        h.wait_for(lambda: not h.dialogs("Select Device"), 5, "Select Device closed")
        for event in (0x0007, 0x8000, 0x8004):  # DBT_DEVNODES_CHANGED, arrival, removal complete
            self.assertEqual(h.probe("send", FRAME, 0x0219, event, 0)["result"], 1)  # WM_DEVICECHANGE: TRUE
        h.activate()
        h.key("F2")
        # The chosen unit is still the one Connect opens (nobody listens on port 9, so the open fails).
        box = h.wait_for(h.message_box, 10, "message")
        self.assertEqual(box[1], "Failed to establish communications with selected device.")
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 5, "message box closed")
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_a_chosen_port_that_went_away_is_not_replaced_by_another(self):
        # Device numbers are positions in a list that changes: the port chosen
        # (COM5, number 1) goes, COM6 moves up to number 1, and an automatic
        # unit stays at 0.  Connect opens neither of them: the chosen unit
        # could not be found.  Both with and without a device change.
        self.h.set_serial_ports(5, 6)
        app = self.start("tcp:127.0.0.1:9:USBXpress Device:AUTO")
        h = self.h
        dlg, combo = self.select_device_dialog()
        self.assertEqual([(i["text"], i["data"]) for i in combo["items"]],
                         [("None", -1), ("QVR500 USB (COM5)", 1), ("QVR500 USB (COM6)", 2)])
        h.click_control("hwnd:" + dlg["hwnd"], 1)  # OK: COM5, the first listed
        h.wait_for(lambda: not h.dialogs("Select Device"), 5, "Select Device closed")
        h.set_serial_ports(6)
        for device_change in (False, True):
            if device_change:
                self.assertEqual(h.probe("send", FRAME, 0x0219, 0x8004, 0)["result"], 1)  # removal complete
            h.activate()
            h.key("F2")
            box = h.wait_for(h.message_box, 10, "message")
            self.assertEqual(box[1].splitlines()[0], "QVR500 device could not be found.")
            h.key("Return")
            h.wait_for(lambda: h.message_box() is None, 5, "message box closed")
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_select_device_without_units(self):
        app = self.start("")
        h = self.h
        h.command(ID_SELECT_DEVICE)
        dlg = h.wait_for(lambda: (h.dialogs("Select Device") or [None])[0], 5, "Select Device")
        combo = h.probe("combo", "hwnd:" + dlg["hwnd"], 1003)
        self.assertEqual(combo["items"], [{"text": "None", "data": -1}])
        self.assertEqual(combo["selected"], 0)
        h.click_control("hwnd:" + dlg["hwnd"], 1)
        h.wait_for(lambda: not h.dialogs("Select Device"), 5, "Select Device closed")
        self.assertEqual(h.exit_program(app, "close"), 0)


if __name__ == "__main__":
    harness.main()
