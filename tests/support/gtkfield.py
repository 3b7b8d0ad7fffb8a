#!/usr/bin/python3
# A GTK 3 text field for the journeys, speaking the helper-child protocol of textfieldhelper:
#   ready 0                  the window has the keyboard and the whole text is selected (once)
#   text <base64 of UTF-8>   the field's text, at the start and after each change
# Argument: the initial text. Run it with the system's python3 (python3-gi); GDK_BACKEND picks the display.
import base64
import sys

import gi

gi.require_version('Gtk', '3.0')
from gi.repository import Gtk


def report_text(entry):
    print('text', base64.b64encode(entry.get_text().encode()).decode(), flush=True)


# Selected once the window is active: before that the text would lose its selection to the focus-in.
def active(window, _):
    if window.is_active() and not reported:
        reported.append(True)
        entry.grab_focus()
        entry.select_region(0, -1)
        print('ready 0', flush=True)


window = Gtk.Window(title='gtk field')
entry = Gtk.Entry(text=sys.argv[1])
window.add(entry)
window.connect('destroy', Gtk.main_quit)
entry.connect('changed', report_text)
report_text(entry)
reported = []
window.connect('notify::is-active', active)
window.show_all()
Gtk.main()
