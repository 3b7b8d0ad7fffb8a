#pragma once

// An in-memory desktop for tests: it records what it was asked to do and lets a test play the
// user and the other applications (focus a window, copy text, press hotkeys, click, let time pass).

#include "Platform.h"
#include "Watchers.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace vorlex {

// A virtual clock: callbacks run only when the test advances time, in time order (callbacks
// scheduled while advancing run too if they fall inside the interval).
class FakeScheduler final : public Scheduler {
public:
    void after(int milliseconds, QObject* context, std::function<void()> callback) override;
    void advance(int milliseconds);

private:
    struct Entry {
        std::optional<QPointer<QObject>> context; // none: the callback has no context to outlive
        std::function<void()> callback;
    };
    qint64 clock = 0;
    quint64 nextSequence = 0;
    std::map<std::pair<qint64, quint64>, Entry> queue; // by due time, then in the order asked
};

class FakeInputObserver final : public InputObserver {
public:
    bool watchButtons(QObject* context, ButtonHandler handler) override
    {
        buttonWatchers.add(context, std::move(handler));
        return true;
    }

    // The user pressed a button somewhere on the desktop.
    void pressButton(const ButtonPress& press) { buttonWatchers.notify(press); }
    int buttonWatcherCount() const { return int(buttonWatchers.size()); }

private:
    Watchers<const ButtonPress&> buttonWatchers;
};

class FakeHotkeys final : public Hotkeys {
public:
    void bind(const QList<Hotkey>& hotkeys, Handler handler) override
    {
        binds << hotkeys;
        press = std::move(handler);
    }
    QStringList taken() const override
    {
        QStringList held;
        for (const Hotkey& hotkey : binds.value(binds.size() - 1)) {
            if (takenActions.contains(hotkey.action))
                held << hotkey.action;
        }
        return held;
    }
    QList<QList<Hotkey>> binds;
    Handler press;            // the user pressed the hotkey of an action
    QStringList takenActions; // another program holds their keys, once bound
};

// A desktop that takes the pictures of the screen (Wayland) and answers at once, as answer says.
class FakeScreenPictures final : public ScreenPictures {
public:
    void take(bool pickArea, QObject*, std::function<void(const Outcome&)> done) override
    {
        asked << pickArea;
        done(*answer);
    }
    std::optional<Outcome> answer; // none: the program reads the screen itself (X11)
    QList<bool> asked;             // pickArea of each request
};

// The desktop, with the clipboard, the keys and the windows played in memory. Everything it is asked
// to do goes to one log: "copy", "paste", "activate <id>", "setText <text>".
class FakePlatform final : public Platform, Clipboard, KeySender, WindowSystem {
public:
    Scheduler& scheduler() override { return fakeScheduler; }
    Clipboard& clipboard() override { return *this; }
    KeySender& keySender() override { return *this; }
    WindowSystem& windowSystem() override { return *this; }
    InputObserver& inputObserver() override { return fakeInputObserver; }
    Hotkeys* hotkeys() override { return &fakeHotkeys; }
    ScreenPictures* screenPictures() override { return fakeScreenPictures.answer ? &fakeScreenPictures : nullptr; }

    quint64 changeCount() const override { return count; }
    QString text() const { return content; }
    void read(int, QObject*, std::function<void(std::optional<QString>)> done) override { done(content); }
    void setText(const QString& text) override;
    void watchChanges(QObject* context, std::function<void()> h) override { watchers.add(context, std::move(h)); }
    void whenServed(QObject* context, std::function<void()> ready) override;
    void sendCopy() override
    {
        log.append(QStringLiteral("copy"));
        if (onCopy)
            onCopy();
    }
    void sendPaste() override { log.append(QStringLiteral("paste")); }
    void inspectFocus(QObject*, std::function<void(FocusedApplication)> told) override
    {
        told(terminalFocused ? FocusedApplication::terminal : FocusedApplication::ordinary);
    }
    WindowId activeWindow() const override { return active; }
    void activate(WindowId window) override;
    void showOnAllDesktops(WindowId window) override { onAllDesktops.push_back(window); }

    // Another application copied something.
    void externalCopy(const QString& text);
    // The desktop has taken what setText put here; until then, once servedLater is set, pastes wait.
    void serve() { waitingForServe.release(); }
    // A focused application whose selection is text: a synthetic copy puts it on the clipboard,
    // landingMs of virtual time later; unannounced, it only changes what the clipboard serves (an
    // application that owns the clipboard already and does not take it again).
    void selectText(const QString& text, int landingMs = 0, bool announced = true);
    // A focused application with nothing selected: a synthetic copy changes nothing.
    void selectNothing() { onCopy = nullptr; }

    QStringList log;    // every call into the platform, in order
    QStringList writes; // what this process put on the clipboard, in order
    bool servedLater = false;
    WindowId active = 0;                 // the focused window
    bool terminalFocused = false;        // it is a terminal (what it copies is still played by selectText)
    std::vector<WindowId> onAllDesktops; // not in the log: it does not change the focus
    FakeScheduler fakeScheduler;
    FakeInputObserver fakeInputObserver;
    FakeHotkeys fakeHotkeys;
    FakeScreenPictures fakeScreenPictures;

private:
    quint64 count = 0;
    QString content;
    Watchers<> watchers;
    Waiters waitingForServe;
    std::function<void()> onCopy; // plays the focused application
};

// The fake's copy and paste keys, for a decorator under test that takes its inner sender whole.
class ForwardingKeySender final : public KeySender {
public:
    explicit ForwardingKeySender(KeySender& target) : to(target) {}
    void sendCopy() override { to.sendCopy(); }
    void sendPaste() override { to.sendPaste(); }

private:
    KeySender& to;
};

} // namespace vorlex
