#pragma once

// The per-user folder the settings and the history live in, and the one way files are written
// there: atomically and readable by the owner only (they may hold the DeepL key or private text).

#include <QByteArray>
#include <QString>

namespace vorlex {

// $XDG_CONFIG_HOME/VorlexMac (~/.config/VorlexMac without it), read from the environment at every call.
QString configFolder();

// Replaces path with bytes in one step (a crash leaves the old or the new file, never a mix), mode
// 0600 before any byte is written. Creates the folder when needed. False on any failure.
bool writePrivateFile(const QString& path, const QByteArray& bytes);

} // namespace vorlex
