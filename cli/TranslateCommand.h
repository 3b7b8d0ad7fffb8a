#pragma once

// vorlex-cli translate: one translation through Google or DeepL, with the user's settings.

#include <QStringList>

namespace vorlex::cli {

// vorlex-cli translate [--engine google|deepl] [--to CODE] [--json] [--google-url URL] [--deepl-url URL] [TEXT]
// Engine, DeepL key and plan and source language come from the settings file unless overridden; the
// target is --to or else the one the text's script picks. Prints the translation (or a JSON object);
// on failure "שגיאה: " and the error's description on standard error, exit status 1.
int runTranslate(const QStringList& args);

} // namespace vorlex::cli
