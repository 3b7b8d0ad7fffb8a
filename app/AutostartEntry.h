#pragma once

// Start at login: the user's own copy of the shipped autostart entry in $XDG_CONFIG_HOME/autostart,
// its Exec naming the program that wrote it. The file's presence is the state; it is kept out of the
// settings file.

#include <QString>

namespace vorlex {

class AutostartEntry {
public:
    // program: what the entry starts, an absolute path (the running program in the application).
    explicit AutostartEntry(QString program);

    // $XDG_CONFIG_HOME/autostart/vorlex-autostart.desktop (~/.config without it), the name the shipped
    // entry has, read from the environment at every call.
    static QString path();
    static bool isInstalled();

    // Writes the entry atomically and owner-only (creating the folder), or removes it. False when the
    // file could not be written or removed; an entry that is already there, or already gone, is left
    // alone.
    bool setInstalled(bool installed) const;

    // The shipped entry with Exec set to program, quoted as desktop entries require.
    QByteArray contents() const;

private:
    QString program;
};

} // namespace vorlex
