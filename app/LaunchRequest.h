#pragma once

// What one launch of the program asks for, read once from its arguments and then used as it is: by
// the launch itself, by the hand-over to an instance that runs already, and by that instance.

#include <QString>
#include <QStringList>

#include <variant>

namespace vorlex {

struct LaunchRequest {
    enum class Kind { none, settings, text, openUrl, hotkey };
    Kind kind = Kind::none;
    QString value; // the text argument, the opened URL or the hotkey's name
    bool operator==(const LaunchRequest&) const = default;

    // The user's arguments, without the program path. Only the first counts, except "--open-url URL"
    // (a link opened on the desktop) and "--hotkey NAME"; an unknown NAME gives the usage message.
    static std::variant<LaunchRequest, QString> parse(const QStringList& arguments);
    // One argument by the first-argument rules: "--settings", else a text.
    static LaunchRequest fromArgument(const QString& argument);

    // The text the popup shows: for a text argument, the "text" query item of a vorlex: URL (an empty
    // value is a value), else the argument itself; for an opened URL, its first non-empty "text" query
    // item, else its decoded path without the surrounding "/". Empty for the other kinds.
    QString popupText() const;
};

} // namespace vorlex
