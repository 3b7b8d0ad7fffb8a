#pragma once

// The offline commands of vorlex-cli. Each takes the arguments after its name and returns the exit status.

#include <QStringList>

namespace vorlex::cli {

int runLayout(const QStringList& args);   // vorlex-cli layout [TEXT]
int runDateTime(const QStringList& args); // vorlex-cli datetime [--json] [TEXT]
int runTarget(const QStringList& args);   // vorlex-cli target [TEXT]

} // namespace vorlex::cli
