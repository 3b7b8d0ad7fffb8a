#pragma once

// Windows the copy and paste keys would harm: a terminal acts on Ctrl+C itself, as an interrupt for
// the program running in it, and types Ctrl+V as a control character, so the platform keeps both away
// from it. Names are the ones desktops give windows (X11's WM_CLASS, a Wayland app_id).

#include <QStringList>
#include <QStringView>

namespace vorlex {

// True for a known terminal's window name, in any letter case.
bool isTerminalName(QStringView name);

// Whether a window must get no copy or paste key, its highlighted text being read instead: its process
// (pid, -1 where unknown) holds a pseudo-terminal, so it is a terminal, standalone or embedded in an
// editor, a file manager or an IDE; where the process cannot be looked into, one of its names is a
// terminal's; or it is Emacs or gVim, whose copy key is not Ctrl+C (and whose Ctrl+C and Ctrl+V do
// other things).
bool takesNoKeys(qint64 pid, const QStringList& names);

} // namespace vorlex
