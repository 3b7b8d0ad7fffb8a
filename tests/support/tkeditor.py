#!/usr/bin/python3
# A Tk application for the capture tests: a text widget holding the argument lines, the first one
# selected; each copy (Ctrl+C) selects the next line. Tk copies again without taking the clipboard
# again while it owns it. Reports "ready" once it has the keyboard. Run it with the system's python3
# (python3-tk).
import sys
import tkinter

root = tkinter.Tk()
text = tkinter.Text(root, width=30, height=5)
text.insert('1.0', '\n'.join(sys.argv[1:]))
text.pack()
line = [1]
ready = []


def select():
    text.tag_remove('sel', '1.0', 'end')
    text.tag_add('sel', f'{line[0]}.0', f'{line[0]}.end')


def copied(_event):
    line[0] += 1
    text.after_idle(select)  # after the class binding has copied


def focused(_event):
    if not ready:
        ready.append(True)
        print('ready', flush=True)


select()
text.bind('<<Copy>>', copied)
text.bind('<FocusIn>', focused)
text.focus_force()
root.mainloop()
