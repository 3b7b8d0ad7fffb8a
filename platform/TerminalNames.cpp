#include "TerminalNames.h"

#include "ProcessTerminal.h"

#include <QFileInfo>
#include <QString>

#include <algorithm>

namespace vorlex {

namespace {

// WM_CLASS instance and class names and app_ids, lower-case, each between spaces: only for windows
// whose process is not known.
constexpr char16_t terminals[] =
    u" alacritty aterm blackbox com.gexperts.tilix com.mitchellh.ghostty com.raggesilver.blackbox contour"
    u" cool-retro-term deepin-terminal eterm foot footclient ghostty gnome-terminal gnome-terminal-server guake"
    u" io.elementary.terminal kgx kitty konsole kterm lxterminal mate-terminal mlterm org.gnome.console"
    u" org.gnome.ptyxis org.gnome.terminal org.kde.konsole org.kde.yakuake org.wezfurlong.wezterm ptyxis"
    u" qterminal rio roxterm rxvt sakura st st-256color terminator terminology termite tilda tilix urxvt uxterm"
    u" wezterm xfce4-terminal xterm yakuake ";

// Emacs takes Ctrl+C as a prefix that eats the next keys (copy is M-w); gVim stays in visual mode.
constexpr char16_t ownCopyKeys[] = u" emacs gvim ";

bool named(QStringView list, QStringView name)
{
    return !name.isEmpty() && !name.contains(u' ') && list.contains(u' ' + name.toString().toLower() + u' ');
}

} // namespace

bool takesNoKeys(qint64 pid, const QStringList& names)
{
    const auto any = [&names](QStringView list) {
        return std::ranges::any_of(names, [list](const QString& name) { return named(list, name); });
    };
    if (any(ownCopyKeys))
        return true;
    // Another user's process, or one gone meanwhile, shows none of its files.
    const bool lookedInto = pid > 0 && QFileInfo(QStringLiteral("/proc/%1/fd").arg(pid)).isReadable();
    return lookedInto ? holdsPseudoTerminal(pid) : any(terminals);
}

bool isTerminalName(QStringView name)
{
    return named(terminals, name);
}

} // namespace vorlex
