#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace vorlex {

QtClipboard::QtClipboard()
{
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &context, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++count;
    });
}

QString QtClipboard::text() const
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

void QtClipboard::setText(const QString& text)
{
    ++count; // counted here as well: the count must have moved when this returns
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void QtClipboard::watchChanges(QObject* watcher, std::function<void()> handler)
{
    // Connected after the counting connection, so the count has moved when handler runs.
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, watcher,
                     [handler = std::move(handler)](QClipboard::Mode mode) {
                         if (mode == QClipboard::Clipboard)
                             handler();
                     });
}

} // namespace vorlex
