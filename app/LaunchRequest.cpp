#include "LaunchRequest.h"

#include "HotkeyAction.h"

#include <QUrl>

#include <optional>

namespace vorlex {

namespace {

// The first "text" query item of url, only percent-escapes decoded (so "+" stays "+"); nothing when
// the URL has no such item or it has no "=".
std::optional<QString> urlQueryText(const QString& url)
{
    // Read by hand: QUrlQuery would turn "+" into a space, and an item without "=" has no value.
    const qsizetype question = url.indexOf(QLatin1Char('?'));
    if (question < 0)
        return std::nullopt;
    qsizetype end = url.indexOf(QLatin1Char('#'), question);
    if (end < 0)
        end = url.size();
    const QString query = url.mid(question + 1, end - question - 1);
    for (const QString& item : query.split(QLatin1Char('&'))) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString name = QUrl::fromPercentEncoding(item.left(equals < 0 ? item.size() : equals).toUtf8());
        if (name != QLatin1String("text"))
            continue;
        if (equals < 0)
            return std::nullopt; // only the first item of that name counts
        return QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
    }
    return std::nullopt;
}

// A typed argument: a vorlex: URL gives its "text" item, anything else stays as it is.
QString extractText(const QString& argument)
{
    if (!argument.startsWith(QLatin1String("vorlex:")))
        return argument;
    const std::optional<QString> text = urlQueryText(argument);
    return text ? *text : argument;
}

// An opened URL: the "text" item, else the path (never the whole URL).
QString urlEventText(const QString& url)
{
    const QUrl parsed(url, QUrl::TolerantMode);
    if (url.isEmpty() || !parsed.isValid())
        return {};
    const std::optional<QString> query = urlQueryText(parsed.toString(QUrl::FullyEncoded));
    if (query && !query->isEmpty())
        return *query;
    QString path = parsed.path(QUrl::FullyDecoded);
    qsizetype start = 0;
    qsizetype end = path.size();
    while (start < end && path.at(start) == QLatin1Char('/'))
        ++start;
    while (end > start && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.mid(start, end - start);
}
} // namespace

std::variant<LaunchRequest, QString> LaunchRequest::parse(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return LaunchRequest{};
    const QString& first = arguments.first();
    if (first == QLatin1String("--open-url"))
        return LaunchRequest{Kind::openUrl, arguments.value(1)};
    if (first == QLatin1String("--hotkey")) {
        if (!hotkeyActionNamed(arguments.value(1)))
            return QStringLiteral("vorlex: --hotkey takes translate, layout or replace\n");
        return LaunchRequest{Kind::hotkey, arguments.value(1)};
    }
    return fromArgument(first);
}

LaunchRequest LaunchRequest::fromArgument(const QString& argument)
{
    if (argument == QLatin1String("--settings"))
        return {Kind::settings, {}};
    return {Kind::text, argument};
}

QString LaunchRequest::popupText() const
{
    switch (kind) {
    case Kind::text:
        return extractText(value);
    case Kind::openUrl:
        return urlEventText(value);
    case Kind::none:
    case Kind::settings:
    case Kind::hotkey:
        break;
    }
    return {};
}

} // namespace vorlex
