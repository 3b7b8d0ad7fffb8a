#pragma once

// One question put to another program (a selection's owner, the compositor, the far end of a pipe),
// answered once: by the answer, by a failure, or by the time running out, whichever comes first.
// Another program may be slow, hung or gone; the UI thread never waits for it.

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>

namespace vorlex {

template <class Answer> class OneShotQuery : public QObject {
public:
    using Done = std::function<void(std::optional<Answer>)>;

    // Stops without answering. The query goes later.
    void abort()
    {
        answerTo = nullptr;
        finish(std::nullopt);
    }

protected:
    // done gets the answer (nothing on failure or timeout) on the UI thread, never before the
    // constructor returns, and not at all once parent is gone: the query goes with it.
    OneShotQuery(int timeoutMs, QObject* parent, Done done) : QObject(parent), answerTo(std::move(done))
    {
        QTimer::singleShot(timeoutMs, this, [this] { finish(std::nullopt); });
    }

    // The first call answers, later ones do nothing. done may delete the query's parent and so the
    // query: the caller touches no member after this.
    void finish(std::optional<Answer> answer)
    {
        if (std::exchange(finished, true))
            return;
        release();
        deleteLater();
        if (const Done report = std::exchange(answerTo, nullptr))
            report(std::move(answer));
    }
    // For a failure found before the constructor returns.
    void failSoon()
    {
        QTimer::singleShot(0, this, [this] { finish(std::nullopt); });
    }
    // Lets go of what the query holds (a connection, a descriptor) before it answers.
    virtual void release() {}

private:
    Done answerTo;
    bool finished = false;
};

} // namespace vorlex
