#include "QtClipboard.h"

#include "X11Platform.h"
#include "X11SelectionReader.h"

#include <QClipboard>
#include <QGuiApplication>

#include <X11/Xlib.h>

namespace vorlex {

QtClipboard::QtClipboard()
{
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &context, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++count;
    });
}

void QtClipboard::read(int timeoutMs, QObject* reader, std::function<void(std::optional<QString>)> done)
{
    Display* const display = qtDisplay();
    x11::readSelection(display ? DisplayString(display) : nullptr, x11::Selection::clipboard, timeoutMs, reader,
                       std::move(done));
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
