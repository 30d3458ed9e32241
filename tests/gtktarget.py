#!/usr/bin/python3
# A GTK editor as a target window: its caption is the first argument, and
# what arrives is written into the file named by the second at each change.
# GTK fetches a pasted text only after asking which types it has, and
# inserts it a moment after the fetch. --busy N/M: from the moment it first
# has the focus (shown, so that the desktop lists it), it is busy N ms of
# every M ms, as on a loaded machine.
import os
import sys
import time

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def keep_busy(spec):
    busy, every = (int(v) for v in spec.split("/"))

    def stall():
        time.sleep(busy / 1000)
        return True

    started = []

    def start(*_):
        if started:
            return False
        started.append(True)
        stall()
        # GLib counts the next period from the end of the stall.
        GLib.timeout_add(max(every - busy, 1), stall)
        return False

    return start


def main():
    caption, out = sys.argv[1], sys.argv[2]
    window = Gtk.Window(title=caption)
    window.set_default_size(400, 200)
    view = Gtk.TextView()
    window.add(view)
    buffer = view.get_buffer()

    def changed(buf):
        text = buf.get_text(buf.get_start_iter(), buf.get_end_iter(), True)
        with open(out + ".part", "w", encoding="utf-8") as f:
            f.write(text)
        os.replace(out + ".part", out)

    buffer.connect("changed", changed)
    window.connect("destroy", Gtk.main_quit)
    if len(sys.argv) > 4 and sys.argv[3] == "--busy":
        window.connect("focus-in-event", keep_busy(sys.argv[4]))
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
