#pragma once

// Reads a selection (PRIMARY: what is highlighted now; CLIPBOARD: what was copied) as text, on an X
// connection of its own served from the event loop: its owner may be slow, hung, gone mid-transfer or
// far too generous, and the UI thread never waits for it nor holds much more than the text limit.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace vorlex::x11 {

enum class Selection { primary, clipboard };

// Asks the owner of selection on displayName for text; done gets it, or nothing when the owner
// refuses, offers no text (only UTF8_STRING, text/plain;charset=utf-8 and STRING, as Latin-1, in
// 8-bit units are text), the display cannot be reached, or timeoutMs passes first. An owner that
// offers more than maximumTextBytes is cut off: done gets the first maximumTextBytes + 1 bytes, decoded,
// so that the text is still too long for any entry point. done runs once on the UI thread, never
// before this returns, and not at all once context is gone.
void readSelection(const QByteArray& displayName, Selection selection, int timeoutMs, QObject* context,
                   std::function<void(std::optional<QString>)> done);

inline void readPrimarySelection(const QByteArray& displayName, int timeoutMs, QObject* context,
                                 std::function<void(std::optional<QString>)> done)
{
    readSelection(displayName, Selection::primary, timeoutMs, context, std::move(done));
}

} // namespace vorlex::x11
