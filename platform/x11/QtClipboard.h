#pragma once

// The CLIPBOARD selection through Qt's X11 clipboard, which follows owner changes with XFixes and
// keeps serving what this process wrote for as long as it runs. Used on X11, and on Wayland
// desktops that bridge their clipboard to XWayland (GNOME).

#include "Platform.h"

#include <QObject>

namespace vorlex {

class QtClipboard final : public Clipboard {
public:
    QtClipboard();
    quint64 changeCount() const override { return count; }
    QString text() const override;
    void setText(const QString& text) override;
    void watchChanges(QObject* watcher, std::function<void()> handler) override;

private:
    QObject context;
    quint64 count = 0;
};

} // namespace vorlex
