"""A Tk entry as the user's source application for the end-to-end tests.

Usage: TkEntryHelper.py TEXT [--select]
Prints, one line each, flushed:
  focus            the entry has the keyboard focus
  key KEYSYM STATE a key press reached the entry (STATE is the X modifier mask)
  text BASE64      the entry's text, after each change
"""

import base64
import sys
import tkinter

text = sys.argv[1] if len(sys.argv) > 1 else ""
select = "--select" in sys.argv[2:]


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


root = tkinter.Tk()
root.title("Vorlex e2e field")
root.geometry("420x60+40+40")
value = tkinter.StringVar(value=text)
entry = tkinter.Entry(root, textvariable=value, width=40)
entry.pack(fill="x", padx=8, pady=8)


def on_paste(event):
    # Like most toolkits, a paste replaces the selection (Tk's own X11 binding inserts beside it).
    try:
        event.widget.delete("sel.first", "sel.last")
    except tkinter.TclError:
        pass
    try:
        event.widget.insert("insert", root.clipboard_get())
    except tkinter.TclError:
        pass
    return "break"


entry.bind("<<Paste>>", on_paste)
entry.bind("<KeyPress>", lambda event: say("key %s %d" % (event.keysym, event.state)), add="+")
entry.bind("<FocusIn>", lambda event: say("focus"), add="+")
value.trace_add("write", lambda *args: say("text " + base64.b64encode(value.get().encode()).decode()))


def take_focus():
    root.focus_force()
    entry.focus_set()
    entry.icursor("end")
    if select:
        entry.selection_range(0, "end")


root.after(200, take_focus)
root.mainloop()
