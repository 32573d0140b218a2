#!/usr/bin/python3
# Prints the accessible tree of one application as a screen reader reads it off the
# accessibility bus, one object a line: depth, role, name, description, and "1" while it
# is showing, separated by tabs. The bus is found as every client finds it (the session
# bus's org.a11y.Bus, or the X root window's property).
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def clean(text):
    return (text or "").replace("\t", " ").replace("\n", " ")


def walk(obj, depth, out):
    try:
        showing = obj.get_state_set().contains(Atspi.StateType.SHOWING)
        out.append("\t".join([str(depth), obj.get_role_name(), clean(obj.get_name()),
                              clean(obj.get_description()), "1" if showing else "0"]))
        children = [obj.get_child_at_index(i) for i in range(obj.get_child_count())]
    except gi.repository.GLib.Error:
        return  # gone while we read it
    for child in children:
        if child is not None:
            walk(child, depth + 1, out)


def main():
    desktop = Atspi.get_desktop(0)
    out = []
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == sys.argv[1]:
            walk(app, 0, out)
    print("\n".join(out))


main()
