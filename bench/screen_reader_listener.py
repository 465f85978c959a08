# Listens as a screen reader does (the events Orca asks for most) and counts them; prints the count on SIGTERM.
import gi, sys, signal
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, GLib
count = [0]
def on_event(event):
    count[0] += 1
listener = Atspi.EventListener.new(on_event)
for kind in ["object:property-change:accessible-name", "object:property-change:accessible-value",
             "object:text-changed", "object:state-changed", "object:children-changed", "window:activate",
             "focus:", "object:value-changed"]:
    listener.register(kind)
def stop(*_):
    print("events", count[0], flush=True)
    sys.exit(0)
signal.signal(signal.SIGTERM, stop)
GLib.timeout_add(200, lambda: True)
Atspi.event_main()
