#pragma once

// The CLIPBOARD selection through Qt's X11 clipboard, which follows owner changes with XFixes and
// keeps serving what this process wrote for as long as it runs. Used on X11, and on Wayland
// desktops that bridge their clipboard to XWayland (GNOME). Read on a connection of our own: Qt's
// read waits for the owner on the UI thread and takes in whatever it sends.

#include "Platform.h"

#include <QObject>

namespace vorlex {

class QtClipboard final : public Clipboard {
public:
    QtClipboard();
    quint64 changeCount() const override { return count; }
    void read(int timeoutMs, QObject* reader, std::function<void(std::optional<QString>)> done) override;
    void setText(const QString& text) override;
    void watchChanges(QObject* watcher, std::function<void()> handler) override;

private:
    QObject context;
    quint64 count = 0;
};

} // namespace vorlex
