#pragma once

// An in-memory desktop for tests: it records what it was asked to do and lets a test play the
// user and the other applications (focus a window, copy text, press keys, click, let time pass).

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
    void whenServed(QObject* context, std::function<void()> ready) override;

    // Another application copied something.
    void externalCopy(const QString& text);
    // The desktop has taken what setText put here; until then, once servedLater is set, pastes wait.
    void serve();

    QStringList writes; // what this process wrote, in order
    bool servedLater = false;

private:
    using Waiters = std::vector<std::pair<QPointer<QObject>, std::function<void()>>>;
    static void notify(const Waiters& waiters);

    QStringList& log;
    quint64 count = 0;
    QString content;
    Waiters watchers;
    Waiters waitingForServe;
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
    bool watchKeys(KeyHandler handler) override;
    int addButtonWatcher(ButtonHandler handler) override;
    void removeButtonWatcher(int id) override { buttonHandlers.erase(id); }

    // The user pressed a key / a button somewhere on the desktop.
    void pressKey(const KeyPress& press);
    void pressButton(const ButtonPress& press);
    int buttonWatcherCount() const { return int(buttonHandlers.size()); }

private:
    KeyHandler keyHandler;
    std::map<int, ButtonHandler> buttonHandlers;
    int nextButtonId = 1;
};

// The desktop's shortcut service; the platform offers it only once a test sets offered.
class FakeGlobalShortcuts final : public GlobalShortcuts {
public:
    void bind(const QList<Shortcut>& shortcuts, Handler handler) override
    {
        binds.append(shortcuts);
        activate = std::move(handler);
    }
    bool offered = false;
    QList<QList<Shortcut>> binds;
    Handler activate; // the user pressed a bound shortcut
};

class FakeSession final : public Session {
public:
    bool checkInputAccess() override { return true; }
};

class FakePlatform final : public Platform {
public:
    Scheduler& scheduler() override { return fakeScheduler; }
    Clipboard& clipboard() override { return fakeClipboard; }
    KeySender& keySender() override { return fakeKeySender; }
    WindowSystem& windowSystem() override { return fakeWindowSystem; }
    InputObserver& inputObserver() override { return fakeInputObserver; }
    Session& session() override { return fakeSession; }
    GlobalShortcuts* globalShortcuts() override { return fakeShortcuts.offered ? &fakeShortcuts : nullptr; }

    QStringList log; // every call into the platform, in order, across the parts
    FakeScheduler fakeScheduler;
    FakeClipboard fakeClipboard{log};
    FakeKeySender fakeKeySender{log};
    FakeWindowSystem fakeWindowSystem{log};
    FakeInputObserver fakeInputObserver;
    FakeSession fakeSession;
    FakeGlobalShortcuts fakeShortcuts;

    // A focused application whose selection is text: a synthetic copy puts it on the clipboard,
    // landingMs of virtual time later.
    void selectText(const QString& text, int landingMs = 0);
    // A focused application with nothing selected: a synthetic copy changes nothing.
    void selectNothing() { fakeKeySender.onCopy = nullptr; }
};

} // namespace vorlex
