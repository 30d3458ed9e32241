#!/usr/bin/python3
# A GTK editor as the window used before ours on GNOME, where no window list
# tells who has the focus: the caption is the first argument; what arrives
# is written into the file named by the second at each change, and "in" or
# "out" into that name with ".focus" as the focus comes and goes.
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402


def write(path, text):
    with open(path + ".part", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".part", path)


def main():
    caption, out = sys.argv[1], sys.argv[2]
    window = Gtk.Window(title=caption)
    window.set_default_size(400, 200)
    view = Gtk.TextView()
    window.add(view)
    buffer = view.get_buffer()
    buffer.connect(
        "changed", lambda b: write(out, b.get_text(b.get_start_iter(), b.get_end_iter(), True)))
    window.connect("notify::is-active",
                   lambda w, _: write(out + ".focus", "in" if w.is_active() else "out"))
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
