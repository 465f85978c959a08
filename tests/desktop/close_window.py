#!/usr/bin/env python3
# Asks an X window to close, as a window manager's close button does: a WM_DELETE_WINDOW message.
# (xdotool's windowclose destroys the window instead, which no program survives cleanly.)
# Usage: close_window.py WINDOW_ID   (DISPLAY names the X server)
import ctypes
import ctypes.util
import sys

x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
x11.XOpenDisplay.restype = x11.XInternAtom.restype = ctypes.c_void_p
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
display = x11.XOpenDisplay(None) or sys.exit("close_window.py: cannot open the display")
window = int(sys.argv[1], 0)
# An XClientMessageEvent in a union of 24 longs: type (ClientMessage), serial, send_event, display, window,
# message_type, format (32-bit data), then data[0] (data[1] = 0, CurrentTime).
event = (ctypes.c_ulong * 24)(33, 0, 1, display, window, x11.XInternAtom(display, b"WM_PROTOCOLS", 0), 32,
                              x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0))
x11.XSendEvent(display, window, 0, 0, event) or sys.exit("close_window.py: the message was not sent")
x11.XCloseDisplay(display)  # flushes the message
