#!/usr/bin/python3
# A VTE terminal in a window that need not look like a terminal: by default an editor's window (a text
# pane above, the terminal below, class "geany"), as Geany, gedit or Kate embed one. Speaks the
# helper-child protocol of textfieldhelper:
#   ready 0      the window has the keyboard, the terminal the focus, and the command printed its first line
#   selected 0   the terminal's whole text is selected (so its process owns PRIMARY), after ready, with --select
# Options: --class NAME (WM_CLASS on X11, app_id on Wayland), --select, --interrupt-on-copy (Ctrl+Shift+C
# with nothing selected sends ^C, as Konsole, GNOME Console and Terminator do), then -- COMMAND...
# Run it with the system's python3 (python3-gi, gir1.2-vte-2.91); GDK_BACKEND picks X11 or Wayland.
import os
import sys

import gi

# No accessibility bus: joining one (started on demand, or another session's) may hold up the window.
os.environ['NO_AT_BRIDGE'] = '1'

gi.require_version('Gtk', '3.0')
gi.require_version('Gdk', '3.0')
gi.require_version('Vte', '2.91')
from gi.repository import Gdk, GLib, Gtk, Vte

arguments = sys.argv[1:]
command = arguments[arguments.index('--') + 1:] if '--' in arguments else ['/bin/sh']
options = arguments[:arguments.index('--')] if '--' in arguments else arguments
name = options[options.index('--class') + 1] if '--class' in options else 'geany'
GLib.set_prgname(name)
Gdk.set_program_class(name)


ready = []


# Once active, and the command printed past its first line.
def check_ready(*_):
    if not ready and terminal.get_cursor_position()[1] > 0 and window.is_active():
        ready.append(True)
        terminal.grab_focus()
        print('ready 0', flush=True)
        if '--select' in options:
            terminal.select_all()
            print('selected 0', flush=True)


def key_pressed(_, event):
    control_shift = Gdk.ModifierType.CONTROL_MASK | Gdk.ModifierType.SHIFT_MASK
    if ('--interrupt-on-copy' in options and event.state & control_shift == control_shift
            and Gdk.keyval_to_lower(event.keyval) == Gdk.KEY_c and not terminal.get_has_selection()):
        terminal.feed_child(b'\x03')
        return True
    return False


window = Gtk.Window(title=name)
window.set_default_size(640, 400)
paned = Gtk.Paned(orientation=Gtk.Orientation.VERTICAL)
editor = Gtk.TextView()
editor.get_buffer().set_text('int main() { return 0; }\n')
terminal = Vte.Terminal()
paned.pack1(editor, True, False)
paned.pack2(terminal, True, False)
window.add(paned)
window.connect('destroy', Gtk.main_quit)
window.connect('notify::is-active', check_ready)
terminal.connect('contents-changed', check_ready)
terminal.connect('key-press-event', key_pressed)
terminal.connect('child-exited', lambda *_: Gtk.main_quit())
terminal.spawn_async(Vte.PtyFlags.DEFAULT, None, command, None, GLib.SpawnFlags.DEFAULT, None, None, -1, None, None)
window.show_all()
Gtk.main()
