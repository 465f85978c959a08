#!/usr/bin/python3
"""A small GTK window that acts as a file manager's drag source: it offers the files named on the
command line as text/uri-list, the way Nautilus, Thunar and the like put them on a drag.

Usage: drag_source.py X Y FILE...   (the window opens at X, Y; drag from its button)
"""
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def main() -> None:
    x, y = int(sys.argv[1]), int(sys.argv[2])
    # Keep the names as bytes: a file name need not be valid UTF-8.
    paths = [p.encode("utf-8", "surrogateescape") for p in sys.argv[3:]]
    uris = [GLib.filename_to_uri(p.decode("utf-8", "surrogateescape"), None) for p in paths]

    window = Gtk.Window(title="drag source")
    window.set_default_size(160, 80)
    window.move(x, y)
    button = Gtk.Button(label="drag me")
    button.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
    button.drag_source_add_uri_targets()

    def on_drag_data_get(_widget, _context, data, _info, _time):
        data.set_uris(uris)

    button.connect("drag-data-get", on_drag_data_get)
    window.add(button)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    GLib.timeout_add_seconds(120, Gtk.main_quit)
    Gtk.main()


if __name__ == "__main__":
    main()
