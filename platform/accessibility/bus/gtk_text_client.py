#!/usr/bin/env python3
"""A GTK 3 text editor for the accessibility-bus tests: one window holding one text view.

Options before the text make it behave as some applications do:
  --ignore-writes  the text view answers the bus's writes and keeps its text (a paste still lands)
  --read-only      a selectable label instead: text on the bus, but no editable text
  --paragraphs     each line is a text view of its own, with the role of a paragraph; the first
                   has the keyboard

Prints "ready <window id> <pid>" once its window has the keyboard, then obeys one command a line
on standard input and answers on standard output:
  select START END   select characters START..END (equal: put the caret there)
  select-in P START END   the same in paragraph P, which need not have the keyboard
  state              answers "state <caret> <selection start> <selection end> <text as JSON>"
  hang SECONDS       stops answering anyone (the bus included) for that long
  quit
"""
import json
import os
import sys
import time

import gi

gi.require_version("Atk", "1.0")
gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import Atk, Gdk, GdkX11, GLib, Gtk  # noqa: E402,F401

# How long after Ctrl+V an ignoring view still lets the pasted text in.
PASTE_WINDOW_SECONDS = 3.0


def answer(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class Field:
    """One text of the window: a text view, or a selectable label."""

    def __init__(self, text, read_only=False, ignore_writes=False, paragraph=False):
        self.label = None
        if read_only:
            self.widget = self.label = Gtk.Label(label=text, selectable=True)
            return
        self.widget = Gtk.TextView()
        self.buffer = self.widget.get_buffer()
        self.buffer.set_text(text)
        if paragraph:
            self.widget.get_accessible().set_role(Atk.Role.PARAGRAPH)
            # One selection over the paragraphs: selecting in one must not clear the others, as
            # a view that owns the primary selection does when another takes it. The view adds
            # the clipboard when it is realized.
            def share_selection(view):
                view.get_buffer().remove_selection_clipboard(
                    view.get_clipboard(Gdk.SELECTION_PRIMARY))

            self.widget.connect_after("realize", share_selection)
        if ignore_writes:
            pasted_at = [0.0]

            def on_paste(*_):
                pasted_at[0] = time.monotonic()

            def keeping(signal):
                def keep_unless_pasted(buffer, *_):
                    if time.monotonic() - pasted_at[0] > PASTE_WINDOW_SECONDS:
                        buffer.stop_emission_by_name(signal)
                return keep_unless_pasted

            self.widget.connect("paste-clipboard", on_paste)
            self.buffer.connect("insert-text", keeping("insert-text"))
            self.buffer.connect("delete-range", keeping("delete-range"))

    def select(self, first, last):
        if self.label:
            self.label.select_region(first, last)
            return
        # The caret goes to the start, as after selecting backwards.
        self.buffer.select_range(self.buffer.get_iter_at_offset(first),
                                 self.buffer.get_iter_at_offset(last))

    def state(self):
        if self.label:
            selected, first, last = self.label.get_selection_bounds()
            first, last = (first, last) if selected else (-1, -1)
            return first, first, last, self.label.get_text()
        buffer = self.buffer
        caret = buffer.get_iter_at_mark(buffer.get_insert()).get_offset()
        bounds = buffer.get_selection_bounds()
        first, last = (bounds[0].get_offset(), bounds[1].get_offset()) if bounds else (caret, caret)
        return caret, first, last, buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(),
                                                   True)


def main():
    flags = [a for a in sys.argv[1:] if a.startswith("--")]
    words = [a for a in sys.argv[1:] if not a.startswith("--")]
    text = words[0] if words else ""
    window = Gtk.Window(title="Quillcast test editor")
    window.set_default_size(420, 200)
    if "--paragraphs" in flags:
        fields = [Field(line, paragraph=True) for line in text.split("\n")]
        box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
        for field in fields:
            box.pack_start(field.widget, False, False, 0)
        window.add(box)
    else:
        fields = [Field(text, read_only="--read-only" in flags,
                        ignore_writes="--ignore-writes" in flags)]
        window.add(fields[0].widget)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    fields[0].widget.grab_focus()
    if fields[0].label:
        fields[0].label.select_region(0, 0)

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
            fields[0].select(int(words[1]), int(words[2]))
            answer("selected")
        elif words[0] == "select-in":
            fields[int(words[1])].select(int(words[2]), int(words[3]))
            answer("selected")
        elif words[0] == "state":
            caret, first, last, _ = fields[0].state()
            whole = "\n".join(field.state()[3] for field in fields)
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
