#pragma once

// Terminals, by the names desktops give their windows (X11's WM_CLASS, a Wayland app_id). A
// terminal acts on Ctrl+C itself, as an interrupt for the program running in it, and types Ctrl+V
// as a control character, so the platform keeps both away from it.

#include <QStringView>

namespace vorlex {

// True for a known terminal's window name, in any letter case.
bool isTerminalName(QStringView name);

} // namespace vorlex
