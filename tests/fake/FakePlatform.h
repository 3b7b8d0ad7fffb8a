#pragma once

// An in-memory desktop for tests: it records what it was asked to do and lets a test play the
// user and the other applications (focus a window, copy text, press hotkeys, click, let time pass).

#include "Platform.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

namespace vorlex {

// A virtual clock: callbacks run only when the test advances time, in time order (callbacks
// scheduled while advancing run too if they fall inside the interval).
class FakeScheduler final : public Scheduler {
public:
    void after(int milliseconds, QObject* context, std::function<void()> callback) override;
    void advance(int milliseconds);
    qint64 now() const { return clock; }

private:
    struct Entry {
        qint64 due;
        quint64 sequence;
        QPointer<QObject> context;
        bool hasContext;
        std::function<void()> callback;
    };
    qint64 clock = 0;
    quint64 nextSequence = 0;
    std::vector<Entry> queue;
};

// Every part writes to the platform's one log: "copy", "paste", "activate <id>", "setText <text>".
class FakeClipboard final : public Clipboard {
public:
    explicit FakeClipboard(QStringList& platformLog) : log(platformLog) {}
    quint64 changeCount() const override { return count; }
    QString text() const override { return content; }
    void setText(const QString& text) override;
    void watchChanges(QObject* context, std::function<void()> handler) override;

    // Another application copied something.
    void externalCopy(const QString& text);

    QStringList writes; // what this process wrote, in order

private:
    QStringList& log;
    quint64 count = 0;
    QString content;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> watchers;
};

class FakeKeySender final : public KeySender {
public:
    explicit FakeKeySender(QStringList& platformLog) : log(platformLog) {}
    void sendCopy() override;
    void sendPaste() override;

    std::function<void()> onCopy; // plays the focused application

private:
    QStringList& log;
};

class FakeWindowSystem final : public WindowSystem {
public:
    explicit FakeWindowSystem(QStringList& platformLog) : log(platformLog) {}
    WindowId activeWindow() const override { return active; }
    void activate(WindowId window) override;
    void showOnAllDesktops(WindowId window) override { onAllDesktops.push_back(window); }

    WindowId active = 0;
    std::vector<WindowId> onAllDesktops; // not in the log: it does not change the focus

private:
    QStringList& log;
};

class FakeInputObserver final : public InputObserver {
public:
    int addButtonWatcher(ButtonHandler handler) override;
    void removeButtonWatcher(int id) override { buttonHandlers.erase(id); }

    // The user pressed a button somewhere on the desktop.
    void pressButton(const ButtonPress& press);
    int buttonWatcherCount() const { return int(buttonHandlers.size()); }

private:
    std::map<int, ButtonHandler> buttonHandlers;
    int nextButtonId = 1;
};

class FakeHotkeys final : public Hotkeys {
public:
    void bind(const QList<Hotkey>& hotkeys, Handler handler) override
    {
        binds << hotkeys;
        press = std::move(handler);
    }
    QList<QList<Hotkey>> binds;
    Handler press; // the user pressed the hotkey of an action
};

class FakePlatform final : public Platform {
public:
    Scheduler& scheduler() override { return fakeScheduler; }
    Clipboard& clipboard() override { return fakeClipboard; }
    KeySender& keySender() override { return fakeKeySender; }
    WindowSystem& windowSystem() override { return fakeWindowSystem; }
    InputObserver& inputObserver() override { return fakeInputObserver; }
    Hotkeys* hotkeys() override { return &fakeHotkeys; }

    QStringList log; // every call into the platform, in order, across the parts
    FakeScheduler fakeScheduler;
    FakeClipboard fakeClipboard{log};
    FakeKeySender fakeKeySender{log};
    FakeWindowSystem fakeWindowSystem{log};
    FakeInputObserver fakeInputObserver;
    FakeHotkeys fakeHotkeys;

    // A focused application whose selection is text: a synthetic copy puts it on the clipboard,
    // landingMs of virtual time later.
    void selectText(const QString& text, int landingMs = 0);
    // A focused application with nothing selected: a synthetic copy changes nothing.
    void selectNothing() { fakeKeySender.onCopy = nullptr; }
};

} // namespace vorlex
