#!/usr/bin/env python3
# A desktop portal's Settings interface on the session bus, for tests: it answers Read for the
# appearance's color-scheme with the number it was started with, and a number on a line of its
# standard input becomes the new value, announced by SettingChanged. Prints "ready" once it owns
# its name.
import sys

from gi.repository import Gio, GLib

XML = """
<node>
  <interface name="org.freedesktop.portal.Settings">
    <method name="Read">
      <arg type="s" name="namespace" direction="in"/>
      <arg type="s" name="key" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <signal name="SettingChanged">
      <arg type="s" name="namespace"/>
      <arg type="s" name="key"/>
      <arg type="v" name="value"/>
    </signal>
  </interface>
</node>
"""
PATH = "/org/freedesktop/portal/desktop"
GROUP, KEY = "org.freedesktop.appearance", "color-scheme"

scheme = int(sys.argv[1]) if len(sys.argv) > 1 else 0
loop = GLib.MainLoop()
connection = None


def on_call(conn, sender, path, interface, method, params, invocation):
    group, key = params.unpack()
    if (group, key) != (GROUP, KEY):
        invocation.return_dbus_error("org.freedesktop.portal.Error.NotFound", "no such setting")
        return
    # The portal wraps the value's variant in another.
    invocation.return_value(GLib.Variant("(v)", (GLib.Variant("v", GLib.Variant("u", scheme)),)))


def on_input(channel, condition):
    global scheme
    line = channel.readline()
    if not line:
        loop.quit()
        return False
    scheme = int(line)
    connection.emit_signal(None, PATH, "org.freedesktop.portal.Settings", "SettingChanged",
                           GLib.Variant("(ssv)", (GROUP, KEY, GLib.Variant("u", scheme))))
    connection.flush_sync(None)
    print("changed", flush=True)
    return True


def on_bus(conn, name):
    global connection
    connection = conn
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    conn.register_object(PATH, info, on_call, None, None)


def on_name(conn, name):
    print("ready", flush=True)


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.portal.Desktop",
                 Gio.BusNameOwnerFlags.NONE, on_bus, on_name, lambda *a: loop.quit())
channel = GLib.IOChannel.unix_new(sys.stdin.fileno())
GLib.io_add_watch(channel, GLib.IO_IN | GLib.IO_HUP, on_input)
loop.run()
