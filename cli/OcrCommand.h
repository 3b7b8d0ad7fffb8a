#pragma once

// vorlex-cli ocr: the text in a picture, read as the tray program reads the screen.

#include <QStringList>

namespace vorlex::cli {

// vorlex-cli ocr IMAGE   (PNG or JPEG; "-" reads standard input)
// Prints the text, lines in reading order, each in logical order; on failure (an unreadable picture, no
// text, a missing language package) "שגיאה: " and the reason on standard error, exit status 1.
int runOcr(const QStringList& args);

} // namespace vorlex::cli
