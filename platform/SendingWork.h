#pragma once

// What a key sender standing in front of another does before any key can go out: ask the desktop
// which window has the focus, read a highlighted text. Callers of whenSent wait for all of it, then
// for the keys of the sender behind.

#include "Platform.h"

#include <utility>

namespace vorlex {

class SendingWork {
public:
    explicit SendingWork(KeySender& behind) : next(behind) {}

    // One piece of work starts; each start is ended once.
    void start() { ++running; }
    void end()
    {
        if (--running == 0)
            waiting.release(
                [this](QObject* context, std::function<void()> sent) { next.whenSent(context, std::move(sent)); });
    }

    // KeySender::whenSent of the sender in front.
    void whenSent(QObject* context, std::function<void()> sent)
    {
        if (running == 0)
            return next.whenSent(context, std::move(sent));
        waiting.add(context, std::move(sent));
    }

    // Puts the highlighted text on clipboard, as a copy would, with no key at all; nothing when none is
    // highlighted.
    void copyHighlight(PrimarySelection& highlight, Clipboard& clipboard, QObject* context)
    {
        start();
        highlight.read(context, [this, &clipboard](std::optional<QString> text) {
            if (text && !text->isEmpty())
                clipboard.setText(*text);
            end();
        });
    }

private:
    KeySender& next;
    int running = 0;
    Waiters waiting;
};

} // namespace vorlex
