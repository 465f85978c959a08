#!/usr/bin/python3
# A small GTK window that acts as a file manager's drag source: it offers the files named on the command
# line as text/uri-list, the way file managers put them on a drag.
# Usage: drag_source.py X Y FILE...   (the window opens at X, Y; drag from its button)
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

# A file name need not be valid UTF-8: the names stay the file system's bytes.
uris = [GLib.filename_to_uri(p, None) for p in sys.argv[3:]]
window = Gtk.Window(title="drag source")
window.set_default_size(160, 80)
window.move(int(sys.argv[1]), int(sys.argv[2]))
button = Gtk.Button(label="drag me")
button.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
button.drag_source_add_uri_targets()
button.connect("drag-data-get", lambda _widget, _context, data, _info, _time: data.set_uris(uris))
window.add(button)
window.connect("destroy", Gtk.main_quit)
window.show_all()
GLib.timeout_add_seconds(120, Gtk.main_quit)
Gtk.main()
