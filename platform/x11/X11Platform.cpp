#include "X11Platform.h"

#include <QClipboard>
#include <QGuiApplication>

namespace vorlex {

namespace {

class QtClipboard final : public Clipboard {
public:
    QtClipboard()
    {
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++count;
        });
    }
    quint64 changeCount() const override { return count; }
    QString text() const override { return QGuiApplication::clipboard()->text(QClipboard::Clipboard); }
    void setText(const QString& text) override { QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard); }

private:
    quint64 count = 0;
};

// Placeholders until the X11 input layer lands: nothing observed, nothing sent.
class NullKeySender final : public KeySender {
public:
    void sendCopy() override {}
    void sendPaste() override {}
};

class NullWindowSystem final : public WindowSystem {
public:
    WindowId activeWindow() const override { return 0; }
    void activate(WindowId) override {}
};

class NullInputObserver final : public InputObserver {
public:
    bool watchKeys(KeyHandler) override { return false; }
    int addButtonWatcher(ButtonHandler) override { return 0; }
    void removeButtonWatcher(int) override {}
};

class X11Session final : public Session {
public:
    bool trayAvailable() const override { return true; }
    bool checkInputAccess() override { return false; }
};

class X11Platform final : public Platform {
public:
    Scheduler& scheduler() override { return qtScheduler; }
    Clipboard& clipboard() override { return qtClipboard; }
    KeySender& keySender() override { return keys; }
    WindowSystem& windowSystem() override { return windows; }
    InputObserver& inputObserver() override { return input; }
    Session& session() override { return x11Session; }

private:
    QtScheduler qtScheduler;
    QtClipboard qtClipboard;
    NullKeySender keys;
    NullWindowSystem windows;
    NullInputObserver input;
    X11Session x11Session;
};

} // namespace

std::unique_ptr<Platform> createX11Platform()
{
    return std::make_unique<X11Platform>();
}

} // namespace vorlex
