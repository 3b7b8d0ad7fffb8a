#include "TerminalNames.h"

#include <QString>

namespace vorlex {

namespace {

// WM_CLASS instance and class names and app_ids, lower-case, each between spaces. On Wayland the
// ones that run there take Ctrl+Shift+C as copy; the X11-only ones (xterm, rxvt and their kin) never
// get a keystroke.
constexpr char16_t terminals[] =
    u" alacritty aterm blackbox com.gexperts.tilix com.mitchellh.ghostty com.raggesilver.blackbox contour"
    u" cool-retro-term deepin-terminal eterm foot footclient ghostty gnome-terminal gnome-terminal-server guake"
    u" io.elementary.terminal kgx kitty konsole kterm lxterminal mate-terminal mlterm org.gnome.console"
    u" org.gnome.ptyxis org.gnome.terminal org.kde.konsole org.kde.yakuake org.wezfurlong.wezterm ptyxis"
    u" qterminal rio roxterm rxvt sakura st st-256color terminator terminology termite tilda tilix urxvt uxterm"
    u" wezterm xfce4-terminal xterm yakuake ";

} // namespace

bool isTerminalName(QStringView name)
{
    if (name.isEmpty() || name.contains(u' '))
        return false;
    return QStringView(terminals).contains(u' ' + name.toString().toLower() + u' ');
}

} // namespace vorlex
