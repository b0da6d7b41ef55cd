#!/usr/bin/env python3
"""The sibling program link, with a stand-in sibling (sibling-standin.exe: a
window of class "PLM40FRAME" that prints the link messages it receives and
posts them on commands): the start-up question, one link start each way
even with a sibling that answers every link start, channel numbers both
ways, the link window and its buttons, a link end and a new link start from
the sibling, and the link end when the program closes."""

import os
import queue
import subprocess
import threading

import harness
from harness import FRAME, E2ETestCase

LINK_TITLE = "title:QVR500/PLM-40"
LINK_QVR, LINK_PLM = 318, 319
CH = {"Left": 201, "Left Center": 202, "Center": 203, "Right Center": 204, "Right": 205, "Subwoofer": 206}
WS_SYSMENU = 0x00080000
WS_EX_TOOLWINDOW = 0x80


class StandIn:
    """The stand-in sibling: commands to its stdin, the lines it prints."""

    def __init__(self, h, answer):
        exe = os.path.join(h.paths.build, "tools", "siblingstandin", "sibling-standin.exe")
        self.proc = subprocess.Popen(["wine", exe] + (["--answer"] if answer else []), env=h.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        first = self.next(30)
        if not first.startswith("ready "):
            raise harness.HarnessError("stand-in did not start: %r" % first)
        self.hwnd = int(first.split()[1], 16)
        self.seen = []

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.strip())

    def next(self, timeout=10):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise harness.HarnessError("the stand-in received nothing within %d s (seen: %r)" % (timeout, self.seen))
        return line

    def expect(self, line, timeout=10):
        got = self.next(timeout)
        self.seen.append(got)
        if got != line:
            raise harness.HarnessError("stand-in received %r, expected %r" % (got, line))

    def send(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()

    def nothing_pending(self):
        return self.lines.empty()

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.send("quit")
                self.proc.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait(10)
        for f in (self.proc.stdin, self.proc.stdout):
            try:
                f.close()
            except OSError:
                pass


class Sibling(E2ETestCase):
    need_sim = False

    def standin(self, answer=True):
        s = StandIn(self.h, answer)
        self.addCleanup(s.stop)
        return s

    def link_windows(self):
        return [w for w in self.h.windows() if w["text"] == "QVR500/PLM-40"]

    def checked_channel(self):
        form = [c for c in self.h.children(FRAME) if c["id"] in CH.values() and c["class"] == "Button"]
        names = [n for n, i in CH.items() if any(c["id"] == i and c["checked"] for c in form)]
        return names[0] if len(names) == 1 else names

    def click_channel(self, name):
        button = [c for c in self.h.children(FRAME) if c["id"] == CH[name] and c["class"] == "Button"][0]
        self.h.click_rect(button["rect"])

    def answer_box(self, title, label):
        """Clicks the button labelled label in the message box (waited for) and returns the box."""
        h = self.h
        box = h.wait_for(h.message_box, 15, title)
        button = [c for c in h.children("hwnd:" + box[0]["hwnd"]) if c["class"] == "Button" and label in c["text"]][0]
        h.click_rect(button["rect"])
        return box

    def test_link_with_a_sibling_that_answers(self):
        h = self.h
        sib = self.standin(answer=True)
        app = self.start()
        box = self.answer_box("link question", "Yes")
        self.assertEqual(box[1], "PLM-40 software is currently running.  Would you like to link the operation to "
                                 "the QVR software?")
        frame = h.info(FRAME)
        sib.expect("init %s" % frame["hwnd"])  # one link start, carrying this program's frame

        # The link window: desktop parent, no close box, a tool window; its two buttons.
        link = h.wait_for(lambda: h.find(LINK_TITLE + ",visible"), 10, "link window")
        self.assertEqual(len(self.link_windows()), 1)
        self.assertFalse(link["style"] & WS_SYSMENU)
        self.assertTrue(link["exstyle"] & WS_EX_TOOLWINDOW)
        self.assertEqual([(c["id"], c["text"]) for c in h.children(LINK_TITLE)], [(LINK_QVR, "QVR"), (LINK_PLM, "PLM")])
        h.screenshot("sibling-link-window", link["rect"])

        # The sibling answered our link start; we do not answer that again.
        # Fence: a channel chosen here reaches the sibling after anything posted before.
        self.click_channel("Subwoofer")
        sib.expect("channel 4")
        for name, number in (("Left Center", 6), ("Center", 1), ("Right", 2), ("Right Center", 7), ("Left", 0)):
            self.click_channel(name)
            sib.expect("channel %d" % number)
        self.click_channel("Left")  # already shown: nothing posted
        self.click_channel("Right")
        sib.expect("channel 2")

        # Numbers from the sibling select the channel and are not posted back; 3 and 5 select Left.
        for number, name in ((4, "Subwoofer"), (3, "Left"), (1, "Center"), (5, "Left"), (6, "Left Center"),
                             (7, "Right Center"), (2, "Right"), (0, "Left")):
            sib.send("channel %d" % number)
            h.wait_for(lambda: self.checked_channel() == name, 10, "channel %d selects %s" % (number, name))
        self.click_channel("Center")
        sib.expect("channel 1")  # the fence: nothing came before it

        # The buttons bring either program to the front.
        # (Wine without a window manager raises the other process's window without activating it: the order
        # of the top-level windows, top first, tells which is in front.)
        def in_front(hwnd, other):
            order = [int(w["hwnd"], 16) for w in h.windows()]
            return order.index(hwnd) < order.index(other)
        h.click_control(LINK_TITLE, LINK_PLM)
        h.wait_for(lambda: in_front(sib.hwnd, int(frame["hwnd"], 16)), 10, "sibling in front")
        h.click_control(LINK_TITLE, LINK_QVR)
        h.wait_for(lambda: in_front(int(frame["hwnd"], 16), sib.hwnd), 10, "program in front")

        # The sibling ends the link: the window goes, channels are no longer posted.
        sib.send("term")
        h.wait_for(lambda: not self.link_windows(), 10, "link window closed")
        self.click_channel("Subwoofer")
        # ...and starts it again: one window, one answer (and its answer is not answered).
        sib.send("init")
        sib.expect("init %s" % frame["hwnd"])
        h.wait_for(lambda: len(self.link_windows()) == 1, 10, "link window again")
        sib.send("init")  # a repeated link start keeps the one window
        sib.send("channel 1")
        h.wait_for(lambda: self.checked_channel() == "Center", 10, "channel after the repeated start")
        self.assertEqual(len(self.link_windows()), 1)
        self.click_channel("Right")
        sib.expect("channel 2")  # the fence: no channel 4 while unlinked, no second link start

        # Closing the program ends the link once.
        self.assertEqual(h.exit_program(app, "close"), 0)
        sib.expect("term")
        self.assertFalse(self.link_windows())
        self.assertTrue(sib.nothing_pending())

    def test_a_channel_change_waits_while_a_modal_window_is_up(self):
        # The form must not change channel under a dialog that works on the
        # channel shown, nor under a question: the sibling's choice is held
        # while any modal window of the program is up, the last one applied
        # when it closes.  A link end and a link start from the sibling are
        # the fences: they act at once (the link window goes and comes), and
        # the sibling posts in order, so the channel changes before them have
        # been taken too.
        h = self.h
        sib = self.standin(answer=False)
        app = self.start()
        self.answer_box("link question", "Yes")
        sib.expect("init %s" % h.info(FRAME)["hwnd"])
        h.wait_for(lambda: self.link_windows(), 10, "link window")
        self.assertEqual(self.checked_channel(), "Center")

        # A dialog: Copy Channel.
        h.activate()
        h.key("ctrl+shift+c")
        dlg = h.wait_for(lambda: h.dialogs("Copy Channel"), 10, "Copy Channel")[0]["hwnd"]
        sib.send("channel 0")
        sib.send("channel 2")
        sib.send("term")
        h.wait_for(lambda: not self.link_windows(), 10, "link ended under the dialog")
        self.assertEqual(self.checked_channel(), "Center")
        h.click_rect(h.info("hwnd:" + dlg, 2)["rect"])  # Cancel
        h.wait_for(lambda: not h.dialogs("Copy Channel"), 10, "Copy Channel closed")
        h.wait_for(lambda: self.checked_channel() == "Right", 10, "the last channel, once the dialog closed")

        # A message box: the mode question.
        h.click_rect([c for c in h.children(FRAME) if c["id"] == 207 and c["class"] == "Button"][0]["rect"])
        h.wait_for(h.message_box, 10, "mode question")
        sib.send("channel 6")
        sib.send("init")
        sib.expect("init %s" % h.info(FRAME)["hwnd"])
        h.wait_for(lambda: self.link_windows(), 10, "link started under the message box")
        self.assertEqual(self.checked_channel(), "Right")
        self.answer_box("mode question", "No")
        h.wait_for(lambda: h.message_box() is None, 5, "question answered")
        h.wait_for(lambda: self.checked_channel() == "Left Center", 10, "the channel, once the box closed")

        # Without a modal window the change is taken at once, and none is posted back.
        sib.send("channel 4")
        h.wait_for(lambda: self.checked_channel() == "Subwoofer", 10, "channel without a modal window")
        self.click_channel("Center")
        sib.expect("channel 1")  # the fence: nothing was posted back before it
        self.assertEqual(h.exit_program(app, "close"), 0)
        sib.expect("term")

    def test_no_answer_to_the_question_leaves_the_program_unlinked(self):
        h = self.h
        sib = self.standin(answer=False)
        app = self.start()
        self.answer_box("link question", "No")
        h.wait_for(lambda: h.message_box() is None, 5, "question answered")
        self.assertFalse(self.link_windows())
        self.click_channel("Subwoofer")
        # The sibling links up from its side; the channel chosen before was not posted.
        sib.send("init")
        sib.expect("init %s" % h.info(FRAME)["hwnd"])
        self.click_channel("Center")
        sib.expect("channel 1")
        self.assertEqual(h.exit_program(app, "close"), 0)
        sib.expect("term")


if __name__ == "__main__":
    harness.main()
