#!/usr/bin/python3
# Holds a remote-desktop session of a headless Mutter open, so that its seat has a
# keyboard, as a real session's has: Wayland clipboard clients need one. Prints "ready"
# once the keyboard is there; runs until killed.
from gi.repository import Gio, GLib

SERVICE = "org.gnome.Mutter.RemoteDesktop"
SESSION = "org.gnome.Mutter.RemoteDesktop.Session"
bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(path, interface, method, args=None, reply=None):
    return bus.call_sync(SERVICE, path, interface, method, args, reply,
                         Gio.DBusCallFlags.NONE, 10000, None)


session = call("/org/gnome/Mutter/RemoteDesktop", SERVICE, "CreateSession", None,
               GLib.VariantType("(o)")).unpack()[0]
call(session, SESSION, "Start")
for pressed in (True, False):  # Shift, down and up: the keyboard device appears
    call(session, SESSION, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (0xFFE1, pressed)))
print("ready", flush=True)
GLib.MainLoop().run()
