#!/usr/bin/env python3
"""A GTK 3 text editor for the accessibility-bus tests: one window holding one text view.

Prints "ready <window id> <pid>" once its window has the keyboard, then obeys one command a line
on standard input and answers on standard output:
  select START END   select characters START..END (equal: put the caret there)
  state              answers "state <caret> <selection start> <selection end> <text as JSON>"
  hang SECONDS       stops answering anyone (the bus included) for that long
  quit
"""
import json
import os
import sys
import time

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GdkX11, GLib, Gtk  # noqa: E402,F401


def answer(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def main():
    text = sys.argv[1] if len(sys.argv) > 1 else ""
    window = Gtk.Window(title="Quillcast test editor")
    window.set_default_size(420, 200)
    view = Gtk.TextView()
    buffer = view.get_buffer()
    buffer.set_text(text)
    window.add(view)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    view.grab_focus()

    announced = [False]

    def announce_when_focused(*_):
        if announced[0] or not window.is_active():
            return True
        announced[0] = True
        answer("ready %d %d" % (window.get_window().get_xid(), os.getpid()))
        return False

    GLib.timeout_add(20, announce_when_focused)

    def on_command(source, _condition):
        line = source.readline()
        if not line:
            Gtk.main_quit()
            return False
        words = line.split()
        if not words:
            return True
        if words[0] == "select":
            start = buffer.get_iter_at_offset(int(words[1]))
            end = buffer.get_iter_at_offset(int(words[2]))
            # The caret goes to the start, as after selecting backwards.
            buffer.select_range(start, end)
            answer("selected")
        elif words[0] == "state":
            caret = buffer.get_iter_at_mark(buffer.get_insert()).get_offset()
            bounds = buffer.get_selection_bounds()
            first, last = (bounds[0].get_offset(), bounds[1].get_offset()) if bounds else (caret, caret)
            whole = buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
            answer("state %d %d %d %s" % (caret, first, last, json.dumps(whole)))
        elif words[0] == "hang":
            answer("hanging")
            time.sleep(float(words[1]))
        elif words[0] == "quit":
            Gtk.main_quit()
            return False
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_command)
    Gtk.main()


if __name__ == "__main__":
    main()
