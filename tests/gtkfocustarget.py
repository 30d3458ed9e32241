#!/usr/bin/python3
# A GTK editor as the window used before ours on GNOME, where no window list
# tells who has the focus: the caption is the first argument; what arrives
# is written into the file named by the second at each change, and "in" or
# "out" into that name with ".focus" as the focus comes and goes. On SIGUSR1
# it asks the compositor for an activation token, as a launcher does before
# it starts a program, and writes it into that name with ".token".
import os
import signal
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gio, GLib, Gtk  # noqa: E402


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

    def token():
        context = Gdk.Display.get_default().get_app_launch_context()
        app = Gio.AppInfo.create_from_commandline("kovant", "kovant", Gio.AppInfoCreateFlags.NONE)
        write(out + ".token", context.get_startup_notify_id(app, []) or "")
        return GLib.SOURCE_CONTINUE

    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, token)
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
