#pragma once

// Handlers that each live as long as a context object: a subscription ends when its owner goes, with no
// id to keep and remove, and its closure goes with it. Notifying allocates nothing, so it can sit on an
// input event path.

#include <QObject>

#include <cstddef>
#include <functional>
#include <list>

namespace vorlex {

template <typename... Args> class Watchers {
public:
    using Handler = std::function<void(Args...)>;

    Watchers() = default;
    Watchers(const Watchers&) = delete;
    Watchers& operator=(const Watchers&) = delete;

    // Calls handler at every later notify until context is destroyed; a null context watches nothing.
    void add(QObject* context, Handler handler)
    {
        if (!context)
            return;
        list.push_back({context, std::move(handler)});
        QObject::connect(context, &QObject::destroyed, &lifetime, [this](QObject* gone) { end(gone); });
    }

    // The watchers held: those whose context lives, and during a notify those ended meanwhile.
    std::size_t size() const { return list.size(); }
    bool empty() const { return list.empty(); }

    // Calls each watcher that was there when this began and whose context still lives, in the order added.
    // A handler may add watchers (they hear the next notify) and end any, itself included.
    void notify(Args... args)
    {
        ++notifying;
        // Nodes stay put while notifying: the list only grows at its end, which this never reaches.
        std::size_t remaining = list.size();
        for (auto watcher = list.begin(); remaining > 0; ++watcher, --remaining) {
            if (watcher->context)
                watcher->handler(args...);
        }
        if (--notifying == 0)
            prune();
    }

    // Ends every subscription, so no handler runs again.
    void clear() { end(nullptr); }

private:
    struct Watcher {
        QObject* context; // null once ended; compared, never used
        Handler handler;
    };

    // Ends the subscriptions of gone (all of them for null); a running handler is kept until it returns.
    void end(const QObject* gone)
    {
        for (Watcher& watcher : list) {
            if (!gone || watcher.context == gone)
                watcher.context = nullptr;
        }
        if (notifying == 0)
            prune();
    }
    void prune()
    {
        list.remove_if([](const Watcher& watcher) { return !watcher.context; });
    }

    std::list<Watcher> list;
    int notifying = 0;
    QObject lifetime; // the contexts' destroyed connections end with this object
};

} // namespace vorlex
