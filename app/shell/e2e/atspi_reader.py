#!/usr/bin/python3
"""What a screen reader reads of a program on the accessibility bus, for the desktop tests.

Commands come on standard input, one a line; each answer is one JSON object on a line of
standard output. Focus events, once asked for, come as lines {"event": "focus", ...} between
the answers.

  app PID                       whether the program with this process id is on the bus
  tree PID                      its windows and their elements: role, name, states, actions,
                                text, children
  do PID ROLE NAME ACTION       runs the action of the first element with that role and name
  focus-events                  from now on, tells each element that takes the focus
"""
import json
import sys

import pyatspi
from gi.repository import GLib

MAX_DEPTH = 60
MAX_ELEMENTS = 5000


def say(obj):
    sys.stdout.write(json.dumps(obj, ensure_ascii=False) + "\n")
    sys.stdout.flush()


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except GLib.GError:
            continue
    return None


def describe(acc, depth, budget):
    budget[0] -= 1
    acc.clear_cache()
    node = {"role": acc.getRoleName(), "name": acc.name or ""}
    states = acc.getState()
    node["states"] = sorted(
        pyatspi.stateToString(s) for s in states.getStates())
    try:
        action = acc.queryAction()
        node["actions"] = [action.getName(i) for i in range(action.nActions)]
    except NotImplementedError:
        node["actions"] = []
    try:
        text = acc.queryText()
        node["text"] = text.getText(0, -1)
    except NotImplementedError:
        pass
    children = []
    if depth < MAX_DEPTH:
        for i in range(acc.childCount):
            if budget[0] <= 0:
                break
            child = acc.getChildAtIndex(i)
            if child is not None:
                children.append(describe(child, depth + 1, budget))
    node["children"] = children
    return node


def find(acc, role, name, depth=0):
    if acc is None or depth > MAX_DEPTH:
        return None
    if acc.getRoleName() == role and (acc.name or "") == name:
        return acc
    for i in range(acc.childCount):
        found = find(acc.getChildAtIndex(i), role, name, depth + 1)
        if found is not None:
            return found
    return None


def on_focus(event):
    if not event.detail1:
        return
    source = event.source
    say({"event": "focus", "role": source.getRoleName(), "name": source.name or ""})


def run(words):
    command = words[0] if words else ""
    if command == "app":
        app = application(int(words[1]))
        desktop = pyatspi.Registry.getDesktop(0)
        others = []
        for i in range(desktop.childCount):
            other = desktop.getChildAtIndex(i)
            if other is not None:
                others.append(other.name or "")
        say({"ok": app is not None, "name": app.name if app else "", "on the bus": others})
    elif command == "tree":
        app = application(int(words[1]))
        if app is None:
            say({"ok": False})
        else:
            # Read what the program says now, not what this client kept of it.
            app.clear_cache()
            say({"ok": True, "tree": describe(app, 0, [MAX_ELEMENTS])})
    elif command == "do":
        pid, role, name, action = int(words[1]), words[2], words[3], words[4]
        target = find(application(pid), role, name)
        if target is None:
            say({"ok": False, "why": "no such element"})
            return
        actions = target.queryAction()
        for i in range(actions.nActions):
            if actions.getName(i) == action:
                say({"ok": bool(actions.doAction(i))})
                return
        say({"ok": False, "why": "no such action"})
    elif command == "focus-events":
        pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
        say({"ok": True})
    else:
        say({"ok": False, "why": "unknown command"})


def on_input(channel, condition):
    if condition & (GLib.IO_HUP | GLib.IO_ERR):
        pyatspi.Registry.stop()
        return False
    line = sys.stdin.readline()
    if not line:
        pyatspi.Registry.stop()
        return False
    # Names may hold spaces: the words are separated by tabs.
    try:
        run(line.rstrip("\n").split("\t"))
    except Exception as error:  # a bus call that failed is an answer too
        say({"ok": False, "why": str(error)})
    return True


GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.PRIORITY_DEFAULT,
                  GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, on_input)
say({"ready": True})
pyatspi.Registry.start()
