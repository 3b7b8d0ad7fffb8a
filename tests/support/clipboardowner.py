#!/usr/bin/python3
# A Tk application that owns a selection, for the clipboard tests. Its text widget holds the LINES,
# the first selected; Ctrl+C copies the selected line and selects the next (Tk copies again without
# taking the clipboard again while it owns it). Options:
#   --serve TEXT | --chars N    serve TEXT, or N characters of "שלום עולם\n" repeated, as the
#                               --selection (CLIPBOARD), taking it again on every Ctrl+C; Tk sends
#                               more than 4000 characters by INCR
#   --answer never|slow|die     answer no request, one piece a second, or die after the first piece
#   --format TYPE               the type it answers a request for UTF8_STRING with (UTF8_STRING;
#                               STRING is Latin-1; not a text type: in 32-bit units)
#   --late MS                   learns MS after it lost the selection that it did: Ctrl+V pastes what
#                               it served until then, the clipboard's after; it reports "pasted TEXT"
# It reports "ready" once it has the keyboard. Run it with the system's python3 (python3-tk).
import argparse
import os
import time
import tkinter

parser = argparse.ArgumentParser()
for option, kind in (('--serve', str), ('--answer', str), ('--format', str), ('--chars', int), ('--late', int)):
    parser.add_argument(option, type=kind)
parser.add_argument('--selection', default='CLIPBOARD')
parser.add_argument('lines', nargs='*')
options = parser.parse_args()
root = tkinter.Tk()
text = tkinter.Text(root, width=30, height=5)
text.insert('1.0', '\n'.join(options.lines))
text.pack()
line = 1


def select(step=0):
    global line
    line += step
    text.tag_remove('sel', '1.0', 'end')
    text.tag_add('sel', f'{line}.0', f'{line}.end')


def piece(offset, most):
    offset, most = int(offset), int(most)
    if options.answer == 'never' or offset and options.answer == 'slow':
        time.sleep(3600 if options.answer == 'never' else 1)
    if offset and options.answer == 'die':
        os._exit(0)
    if options.serve is not None:
        return options.serve[offset:offset + most]
    pattern = 'שלום עולם\n'
    return (pattern * (most // 10 + 2))[offset % 10:][:max(0, min(most, options.chars - offset))]


lost = []


def own(_event=None):
    lost.clear()
    root.tk.call('selection', 'own', '-selection', options.selection, '-command',
                 root.register(lambda: lost.append(time.monotonic())), text)


def paste(_event):
    late = not lost or time.monotonic() - lost[0] < options.late / 1000
    print('pasted', options.serve if late else root.clipboard_get(), flush=True)
    return 'break'


select()
text.bind('<<Copy>>', lambda _event: text.after_idle(select, 1))  # once the class binding copied
text.bind('<FocusIn>', lambda _event: print('ready', flush=True))  # the first one tells
if options.serve is not None or options.chars:
    root.tk.call('selection', 'handle', '-selection', options.selection, '-type', 'UTF8_STRING', '-format',
                 options.format or 'UTF8_STRING', text, root.register(piece))
    own()
    text.bind('<Control-c>', own)
if options.late is not None:
    text.bind('<<Paste>>', paste)
text.focus_force()
root.mainloop()
