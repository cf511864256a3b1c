#!/usr/bin/env python3
"""Prints the texts of a program's active window as the accessibility bus shows them.

  read_texts.py PID

One JSON list on standard output, in the window's order: for each accessible that offers text
and is a paragraph, a text field or an entry, {"role", "text", "focused", "caret",
"selections": [[start, end], ...]} with offsets in characters (a caret of -1: not in this
text). Used to read a document back after a write, and to see that a program is on the bus.
"""
import json
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

ROLES = {Atspi.Role.PARAGRAPH: "paragraph", Atspi.Role.TEXT: "text", Atspi.Role.ENTRY: "entry"}
# Bounds of the walk: a document or page window holds a few thousand accessibles at most.
MAXIMUM_DEPTH = 60
MAXIMUM_VISITS = 20000


def texts(node, depth, found, visits):
    if depth > MAXIMUM_DEPTH or visits[0] >= MAXIMUM_VISITS:
        return
    visits[0] += 1
    role = ROLES.get(node.get_role())
    if role is not None and "Text" in node.get_interfaces():
        selections = []
        for i in range(Atspi.Text.get_n_selections(node)):
            selected = Atspi.Text.get_selection(node, i)
            selections.append([selected.start_offset, selected.end_offset])
        found.append({
            "role": role,
            "text": Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node)),
            "focused": node.get_state_set().contains(Atspi.StateType.FOCUSED),
            "caret": Atspi.Text.get_caret_offset(node),
            "selections": selections,
        })
        if role == "paragraph":
            return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            texts(child, depth + 1, found, visits)


def main():
    pid = int(sys.argv[1])
    desktop = Atspi.get_desktop(0)
    found = []
    for a in range(desktop.get_child_count()):
        application = desktop.get_child_at_index(a)
        if application is None or application.get_process_id() != pid:
            continue
        for w in range(application.get_child_count()):
            window = application.get_child_at_index(w)
            if window is not None and window.get_state_set().contains(Atspi.StateType.ACTIVE):
                texts(window, 0, found, [0])
    print(json.dumps(found))


if __name__ == "__main__":
    main()
