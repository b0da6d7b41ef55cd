#!/usr/bin/env python3
"""The program with a simulated unit (qvr500-sim over TCP, its own process):
Connect with its wait box, the connected window and live meters, System
Mute, the three answers of the disconnect question, a unit that never
answers, a pulled cable, the About box's firmware line, Select Device, and
leaving while connected."""

import os
import re
import time

import harness
from harness import (FRAME, ID_APP_ABOUT, ID_CONNECT, ID_DISCONNECT, ID_SELECT_DEVICE, ID_SYSTEM_MUTE,
                     E2ETestCase)

RED, YELLOW, GREEN, BLACK = (255, 0, 0), (255, 255, 0), (0, 255, 0), (0, 0, 0)
LOST = ("Communication to active device has been lost.\nFor support, save what happened on the link with "
        "Help > Save Link Log... before closing the program (the log is lost when the program ends).")


class Connected(E2ETestCase):
    need_sim = True

    def start_with_unit(self, *sim_args):
        self.sim = self.h.start_sim(*sim_args)
        app = self.start(self.sim.device_entry())
        self.h.activate()
        return app

    def connect(self):
        self.h.connect()

    def toolbar_state(self):
        return {b["command"]: (b["enabled"], b["checked"], b["image"]) for b in self.h.toolbar()}

    def assert_disconnected_window(self):
        """The window after the link closed: "Disconnected", Connect enabled, Disconnect disabled, meters dark."""
        h = self.h
        self.assertEqual(h.status_text(), "Disconnected")
        tb = self.toolbar_state()
        self.assertTrue(tb[ID_CONNECT][0])
        self.assertFalse(tb[ID_DISCONNECT][0])
        for m in h.meters():
            self.assertEqual(h.meter_segments(m), ["dim"] * 7)

    def disconnect_question(self):
        h = self.h
        h.key("F3")
        for d in h.wait_for(lambda: h.dialogs("QVR500"), 10, "disconnect question"):
            if h.control("hwnd:" + d["hwnd"], 1541):
                return d
        raise AssertionError("no disconnect question")

    def test_connect_read_back_and_disconnect_yes(self):
        app = self.start_with_unit()
        h, sim = self.h, self.sim
        # Slow replies keep the wait box up: the status stays "Disconnected" until the read-back is done.
        sim.ctl("delay 3 800")
        h.key("F2")
        box = h.wait_for(h.wait_box, 10, "wait box")
        self.assertEqual([t for t in h.dialog_texts(box) if t],
                         ["Retrieving Settings...", "Wait 10-20 seconds."])
        h.screenshot("wait-box", box["rect"])
        self.assertEqual(h.status_text(), "Disconnected")
        self.assertFalse(self.toolbar_state()[ID_CONNECT][0], "Connect disabled at once")
        frame = h.info(FRAME)
        h.screenshot("main-connecting", frame["rect"])
        h.wait_for(lambda: h.status_text() == "Connected", 30, "connected")
        self.assertIsNone(h.wait_box())
        self.assertGreaterEqual(sim.count_cmd(11), 1, "flags read")

        ind = h.status_indicator()
        self.assertEqual(set(h.colours("hwnd:" + ind["hwnd"], 0, 0, *ind["client"])), {GREEN, BLACK})
        tb = self.toolbar_state()
        self.assertFalse(tb[ID_CONNECT][0])
        self.assertTrue(tb[ID_DISCONNECT][0])
        self.assertTrue(tb[ID_SYSTEM_MUTE][0])
        self.assertEqual(tb[ID_SYSTEM_MUTE][1:], (False, 8))

        # Meters follow the polled levels (Left is the first on screen, Subwoofer the last).
        for channel, db in ((0, 0.0), (5, 2.0), (2, -4.0)):
            sim.ctl("set level %d %s" % (channel, db))
        meters = h.meters()
        order = [0, 3, 2, 4, 1, 5]
        for channel, db in ((0, 0.0), (5, 2.0), (2, -4.0)):
            m = meters[order.index(channel)]
            h.wait_for(lambda: h.meter_segments(m) == h.expected_segments(db), 10,
                       "meter of channel %d at %s dB" % (channel, db))
        h.screenshot("main-connected", h.info(FRAME)["rect"])

        # With the unit's own programme levels the meters move.
        for channel in (0, 5, 2):
            sim.ctl("set level %d auto" % channel)
        first = [h.meter_segments(m) for m in meters]
        h.wait_for(lambda: [h.meter_segments(m) for m in meters] != first, 15, "meters moving")

        # Disconnect: Enter answers nothing, Yes stores and closes the link once the unit answered.
        q = self.disconnect_question()
        sel = "hwnd:" + q["hwnd"]
        self.assertEqual(h.info(sel, 1)["text"], "Yes")
        self.assertEqual(h.info(sel, 2)["text"], "No")
        self.assertEqual(h.info(sel, 1541)["text"], "Do Not Save")
        self.assertFalse(h.info(sel, 1542)["visible"])
        self.assertIn("Disconnect and save changes to the QVR500?", h.dialog_texts(q))
        h.screenshot("disconnect-question", q["rect"])
        # Enter, then Tab as a fence: once the focus has moved, Enter has been handled too.
        before = h.probe("focus")["hwnd"]
        h.key("Return", "Tab")
        h.wait_for(lambda: (h.probe("focus", check=False) or {}).get("hwnd") not in (None, before), 5,
                   "Tab handled")
        self.assertTrue(h.dialogs("QVR500"), "Enter leaves the question open")
        self.assertEqual(sim.count_cmd(3), 0)
        sim.ctl("delay 1 2500")
        h.click_control(sel, 1)
        h.wait_for(lambda: sim.count_cmd(3) == 1, 10, "store request")
        self.assertEqual(h.status_text(), "Connected", "link open until the store is answered")
        h.wait_for(lambda: h.status_text() == "Disconnected", 15, "disconnected after the store")
        self.assert_disconnected_window()
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_mute_no_and_do_not_save(self):
        app = self.start_with_unit()
        h, sim = self.h, self.sim
        self.connect()
        h.click_rect(h.button(ID_SYSTEM_MUTE)["rect"])
        h.wait_for(lambda: sim.flags() & 1, 10, "unit muted")
        h.wait_for(lambda: self.toolbar_state()[ID_SYSTEM_MUTE][1:] == (True, 9), 10, "mute button pressed")

        # No (by Escape): unmuted anyway, still connected, meters polled again.
        self.disconnect_question()
        h.key("Escape")
        h.wait_for(lambda: not h.dialogs("QVR500"), 5, "question closed")
        h.wait_for(lambda: not sim.flags() & 1, 10, "unit unmuted")
        self.assertEqual(h.status_text(), "Connected")
        polls = sim.count_get(0, 12)
        h.wait_for(lambda: sim.count_get(0, 12) > polls, 10, "polling again")
        self.assertEqual(sim.count_cmd(3), 0)

        # Do Not Save: the link closes at once, nothing stored.
        q = self.disconnect_question()
        h.click_control("hwnd:" + q["hwnd"], 1541)
        h.wait_for(lambda: h.status_text() == "Disconnected", 5, "disconnected")
        self.assertEqual(sim.count_cmd(3), 0)
        self.assertTrue(self.toolbar_state()[ID_CONNECT][0])
        self.assertEqual(h.exit_program(app, "altf4"), 0)

    def test_unit_that_never_answers(self):
        app = self.start_with_unit()
        h, sim = self.h, self.sim
        sim.ctl("unplug")
        h.key("F2")
        h.wait_for(h.wait_box, 10, "wait box")
        box = h.wait_for(h.message_box, 30, "message 525")
        self.assertEqual(box[1], "Failed to establish a connection to the selected device.  Please check that "
                                 "the unit is powered on and the cabling is correct.")
        self.assertIsNone(h.wait_box(), "wait box gone")
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 5, "message closed")
        h.wait_for(lambda: self.toolbar_state()[ID_CONNECT][0], 5, "Connect enabled again")
        self.assertEqual(h.status_text(), "Disconnected")
        # The unit comes back: Connect works again.
        sim.ctl("plug")
        self.connect()
        # A later loss of the link says only that: nothing of a read-back was put back.
        sim.ctl("unplug")
        box = h.wait_for(h.message_box, 30, "message 524")
        self.assertEqual(box[1].replace("\r\n", "\n"), LOST)  # no put-back line
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 5, "message closed")
        sim.ctl("plug")
        self.connect()
        self.assertEqual(h.exit_program(app, "menu", leave_nothing=True), 0, "Exit while connected")

    def test_cable_pulled_while_connected(self):
        app = self.start_with_unit()
        h, sim = self.h, self.sim
        self.connect()
        sim.ctl("unplug")
        box = h.wait_for(h.message_box, 30, "message 524")
        self.assertEqual(box[1].replace("\r\n", "\n"), LOST)
        h.screenshot("comm-lost", box[0]["rect"])
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 5, "message closed")
        self.assert_disconnected_window()

        # What support gets: Help > Save Link Log..., saved where the user says.
        path = os.path.join(h.artifacts, "pulled-cable-link.txt")
        if os.path.exists(path):
            os.remove(path)
        h.activate()
        h.key("alt")
        h.key("h")
        h.key("Down", "Return")  # past Diagnostics
        dlg = h.wait_for(lambda: h.dialogs("Save As"), 15, "Save As for the link log")[0]
        h.screenshot("save-link-log", dlg["rect"])
        h.activate(dlg)
        h.key("End", "shift+Home", "BackSpace")
        h.type("Z:" + path.replace("/", "\\"))
        h.key("Return")
        h.wait_for(lambda: not h.dialogs("Save As"), 15, "Save As gone")
        h.wait_for(lambda: os.path.exists(path), 10, "link log written")
        with open(path, "rb") as f:
            text = f.read().decode("ascii")
        lines = text.split("\r\n")
        self.assertEqual(lines[0], "QVR500 link log")
        self.assertTrue(lines[1].startswith("Program: QVR500 2."), lines[1])
        self.assertEqual(lines[3], 'Device: %s (device 0)' % self.sim.device_entry().replace(":USBXpress Device:",
                                                                                                ' "USBXpress Device" '))
        events = [re.sub(r"^.*?req \d+ +", "", l) for l in lines if " req " in l]
        self.assertEqual(events[0], "link opened: " + lines[3][len("Device: "):])
        self.assertEqual([e.split(",")[0] for e in events[1:]],
                         ["time-out", "resend", "time-out", "resend", "time-out",
                          "request failed", "link closed"])
        self.assertEqual(len({e.split(": ", 1)[1] for e in events[1:6]}), 1, "one request, resent")
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_about_box_reads_the_firmware_revision(self):
        app = self.start_with_unit()
        h, sim = self.h, self.sim
        self.connect()
        h.click_rect(h.button(ID_APP_ABOUT)["rect"])
        about = h.wait_for(h.splash, 5, "about box")
        sel = "hwnd:" + about["hwnd"]
        line = h.wait_for(lambda: h.info(sel, 249) if h.info(sel, 249)["text"].startswith("Firmware Revision ")
                          else None, 10, "firmware line")
        self.assertTrue(line["visible"])
        self.assertRegex(line["text"], r"^Firmware Revision \d+\.\d+ \([0-9a-f]{2}/[0-9a-f]{2}/20[0-9a-f]{2}\)$")
        self.assertEqual(sim.count_cmd(10), 1)
        h.screenshot("about-connected", about["rect"])
        h.click(about["rect"][0] + 40, about["rect"][1] + 70)
        h.wait_for(lambda: h.splash() is None, 5, "about closed")
        self.assertEqual(h.status_text(), "Connected")
        self.assertEqual(h.exit_program(app, "altf4", leave_nothing=True), 0, "Alt+F4 while connected")

    def test_select_device_then_connect(self):
        h = self.h
        auto = h.start_sim()
        chosen = h.start_sim()
        devices = auto.device_entry("USBXpress Device", "AUTO1") + ";" + chosen.device_entry("QVR500 USB", "SN-B")
        app = self.start(devices)
        h.command(ID_SELECT_DEVICE)
        dlg = h.wait_for(lambda: (h.dialogs("Select Device") or [None])[0], 5, "Select Device")
        combo = h.probe("combo", "hwnd:" + dlg["hwnd"], 1003)
        self.assertEqual(combo["items"][combo["selected"]]["text"], "QVR500 USB (SN-B)")
        h.click_control("hwnd:" + dlg["hwnd"], 1)
        h.wait_for(lambda: not h.dialogs("Select Device"), 5, "closed")
        self.assertEqual(chosen.count_cmd(11), 0, "choosing does not connect")
        h.activate()
        self.connect()
        self.assertGreaterEqual(chosen.count_cmd(11), 1)
        self.assertEqual(auto.count_cmd(11), 0)
        self.assertEqual(h.exit_program(app, "close"), 0)

    def test_serial_port_chosen_from_the_menu_is_remembered(self):
        # The installer's laptop: no QVR500_DEVICES, the unit behind a
        # USB-serial bridge that Windows lists as a COM port.
        h = self.h
        sim = h.start_sim(transport="pty")
        h.set_serial_ports(sim.com)
        app = self.start("")
        h.activate()
        h.key("alt")
        h.key("c")
        h.key("l")  # Communication > Select Device...
        dlg = h.wait_for(lambda: (h.dialogs("Select Device") or [None])[0], 10, "Select Device from the menu")
        combo = h.probe("combo", "hwnd:" + dlg["hwnd"], 1003)
        port = "COM%d" % sim.com
        self.assertEqual([(i["text"], i["data"]) for i in combo["items"]], [("None", -1), ("QVR500 USB (%s)" % port, 0)])
        self.assertEqual(combo["selected"], 1)
        h.screenshot("select-device-com-port", dlg["rect"])
        h.click_control("hwnd:" + dlg["hwnd"], 1)  # OK
        h.wait_for(lambda: not h.dialogs("Select Device"), 5, "Select Device closed")
        # Listing and choosing never opened the port: its line is still in the
        # state the simulator starts it in, and nothing arrived.
        self.assertTrue(sim.ctl("line").startswith("speed=9600"), sim.ctl("line"))
        self.assertIn("requests=0 ", sim.ctl("stats"))
        h.activate()
        self.connect()
        self.assertEqual(sim.ctl("line"), "speed=115200 bits=8 parity=none stop=1 rtscts=off xonxoff=off")
        self.assertGreaterEqual(sim.count_cmd(11), 1)
        self.assertEqual(h.exit_program(app, "close"), 0)

        # The next start: F2 alone connects to the same port.
        sim.ctl("clearlog")
        app = self.start("")
        h.activate()
        self.connect()
        self.assertGreaterEqual(sim.count_cmd(11), 1)
        # "None" forgets the choice: the start after finds no unit of its own.
        h.key("alt")
        h.key("c")
        h.key("l")
        dlg = h.wait_for(lambda: (h.dialogs("Select Device") or [None])[0], 10, "Select Device again")
        h.activate(dlg)
        h.key("Up")  # "None"
        h.wait_for(lambda: h.probe("combo", "hwnd:" + dlg["hwnd"], 1003)["selected"] == 0, 5, "None chosen")
        h.key("Return")
        h.wait_for(lambda: not h.dialogs("Select Device"), 5, "Select Device closed")
        self.assertEqual(h.exit_program(app, "close"), 0)
        app = self.start("")
        h.activate()
        h.key("F2")
        box = h.wait_for(h.message_box, 10, "no unit")
        self.assertEqual(box[1], "QVR500 device could not be found.")
        h.key("Return")
        h.wait_for(lambda: h.message_box() is None, 5, "message closed")
        self.assertEqual(h.exit_program(app, "close"), 0)


if __name__ == "__main__":
    harness.main()
