#!/usr/bin/python3
# A GTK editor as a target window: its caption is the first argument, and
# what arrives is written into the file named by the second at each change.
# GTK fetches a pasted text only after asking which types it has, and
# inserts it a moment after the fetch.
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402


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
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
